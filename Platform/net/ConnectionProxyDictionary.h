#pragma once

#include <string>

namespace platform {

// Which HTTP proxies a session uses: one for "http" URLs, one for "https" URLs (reached through
// CONNECT). A scheme whose entry is not enabled goes direct.
struct ConnectionProxyDictionary {
    bool httpEnable = false;
    std::string httpProxy;
    int httpPort = 0;
    bool httpsEnable = false;
    std::string httpsProxy;
    int httpsPort = 0;

    bool operator==(const ConnectionProxyDictionary&) const = default;
};

}  // namespace platform
