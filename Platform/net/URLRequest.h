#pragma once

#include <string>

namespace platform {

// One GET request. The time-out is an idle time-out: the request fails when no byte has moved
// for that many seconds (connecting included); a long transfer that keeps moving never times out.
struct URLRequest {
    std::string url;
    double timeoutInterval = 60.0;
    // The value of an Authorization header ("Bearer <token>"); none when empty. It goes to the
    // URL's own host only: a redirect to another host is followed without it.
    std::string authorization = {};
};

}  // namespace platform
