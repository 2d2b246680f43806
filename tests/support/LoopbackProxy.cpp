#include "tests/support/LoopbackProxy.h"

namespace testsupport {

LoopbackProxy::LoopbackProxy(std::string body, int status)
    : body_(std::move(body)), status_(status), server_([this](httplib::Server& server) {
          server.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
              {
                  std::lock_guard lock(mutex_);
                  targets_.push_back(request.target);
              }
              response.status = status_;
              response.set_content(body_, "application/json");
          });
      }) {}

std::vector<std::string> LoopbackProxy::requestTargets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

}  // namespace testsupport
