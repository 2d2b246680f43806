#pragma once

#include <optional>

#include "Platform/net/ConnectionProxyDictionary.h"

namespace platform {

// How a session connects. Without a proxy dictionary every request goes direct: the session
// never takes proxies from the environment by itself.
struct URLSessionConfiguration {
    std::optional<ConnectionProxyDictionary> connectionProxyDictionary;
};

}  // namespace platform
