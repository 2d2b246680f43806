#pragma once

#include <httplib.h>

#include <functional>
#include <string>
#include <thread>

namespace testsupport {

// An HTTP server on 127.0.0.1 at a port the system picks, serving on its own threads from
// construction to destruction. Handlers are registered by `setup` before it starts.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::function<void(httplib::Server&)>& setup);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const noexcept { return port_; }
    // "http://127.0.0.1:<port>"
    std::string baseURL() const;

private:
    httplib::Server server_;
    int port_ = -1;
    std::thread thread_;
};

}  // namespace testsupport
