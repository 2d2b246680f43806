#pragma once

#include <string>

namespace platform {

// The answer to a request, after any redirects.
struct HTTPURLResponse {
    std::string url;  // the URL that answered
    int statusCode = 0;
};

}  // namespace platform
