#pragma once

#include <string>
#include <system_error>

#include "Platform/system/NSError.h"

namespace platform {

// Errors of files and decoding, all in the domain "NSCocoaErrorDomain".
struct CocoaError {
    static constexpr const char* domain = "NSCocoaErrorDomain";
    enum Code : long {
        fileNoSuchFile = 4,
        fileReadUnknown = 256,
        fileReadNoPermission = 257,
        fileReadCorruptFile = 259,
        fileWriteUnknown = 512,
        fileWriteNoPermission = 513,
        fileWriteFileExists = 516,
        fileWriteOutOfSpace = 640,
        userCancelled = 3072,
        coderReadCorrupt = 4864,
        coderInvalidValue = 4866,
    };

    static NSError make(Code code, const std::string& description) { return NSError(domain, code, description); }

    // The error for a failed file operation: `what` says what was attempted ("Could not remove
    // /a/b"); the system's reason is appended. Reading failures and writing failures map to
    // their own codes.
    static NSError fromSystemError(std::error_code ec, const std::string& what, bool writing);
};

}  // namespace platform
