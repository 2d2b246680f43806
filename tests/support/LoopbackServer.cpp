#include "tests/support/LoopbackServer.h"

#include <chrono>
#include <stdexcept>

namespace testsupport {

LoopbackServer::LoopbackServer(const std::function<void(httplib::Server&)>& setup) {
    setup(server_);
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the loopback server could not bind a port");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // Stopping works only once the server runs.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
}

std::string LoopbackServer::baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }

}  // namespace testsupport
