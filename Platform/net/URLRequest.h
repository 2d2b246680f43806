#pragma once

#include <cstdint>
#include <optional>
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
    // The most body bytes a transfer takes: a longer successful body is cut off as it arrives and
    // the transfer fails (dataLengthExceedsMaximum), so a hostile server cannot fill the disk with
    // a file that a size or digest check would only refuse once it is whole; of a longer error
    // page only the first bytes are kept, and its status is answered as usual. None: no limit.
    std::optional<std::uint64_t> maximumBodyBytes = {};
};

}  // namespace platform
