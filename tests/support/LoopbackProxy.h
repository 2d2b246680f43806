#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tests/support/LoopbackServer.h"

namespace testsupport {

// A stand-in HTTP proxy: it records the request target of every request it gets (the
// absolute form "http://host:port/path" that clients send to a proxy) and answers each
// with the same status and body, without forwarding anything.
class LoopbackProxy {
public:
    explicit LoopbackProxy(std::string body = "[]", int status = 200);

    int port() const noexcept { return server_.port(); }
    std::string url() const { return server_.baseURL(); }
    std::vector<std::string> requestTargets() const;

private:
    std::string body_;
    int status_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    LoopbackServer server_;  // last: it stops before the members it uses go away
};

}  // namespace testsupport
