#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The parts of an absolute URL.
struct URLComponents {
    std::string scheme;
    std::string host;           // IPv6 addresses keep their brackets
    std::optional<int> port;    // only when the URL states one
    std::string percentEncodedPath;

    // Nothing when the text is not an absolute URL with a scheme and a host.
    static std::optional<URLComponents> parse(const std::string& text);

    // A path with each "/"-separated segment percent-encoded: only unreserved characters
    // (letters, digits, "-", ".", "_", "~") stay as they are; "/" separators are kept.
    static std::string percentEncodePath(std::string_view path);
};

}  // namespace platform
