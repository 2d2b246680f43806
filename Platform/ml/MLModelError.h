#pragma once

#include <string>

#include "Platform/system/NSError.h"

namespace platform {

// Errors of the model runtime, all in the domain "com.rarivoredu.ml".
struct MLModelError {
    static constexpr const char* domain = "com.rarivoredu.ml";
    enum Code : long { generic = 0, featureType = 1, io = 3, parameter = 7 };

    static NSError make(Code code, const std::string& description) { return NSError(domain, code, description); }
    static NSError genericError(const std::string& d) { return make(generic, d); }
    static NSError featureTypeError(const std::string& d) { return make(featureType, d); }
    static NSError ioError(const std::string& d) { return make(io, d); }
    static NSError parameters(const std::string& d) { return make(parameter, d); }
};

}  // namespace platform
