#pragma once

#include <string>

#include "Platform/system/NSError.h"

namespace platform {

// Errors of the audio layer, all in the domain "com.rarivoredu.audio".
struct AVAudioError {
    static constexpr const char* domain = "com.rarivoredu.audio";
    enum Code : long {
        fileNotFound = 1,      // no file at the path
        fileNotReadable = 2,   // a file we may not read, or not a regular file
        unsupportedFile = 3,   // empty, damaged, or not audio in a format we read
        readFailed = 4,        // decoding stopped in the middle
        formatMismatch = 5,    // a buffer in another format than the one asked for
        conversionFailed = 6,  // the converter could not go on
        deviceUnavailable = 7, // no sound server, or no input device to record from
        captureFailed = 8,     // the sound server refused or ended a recording
    };

    static NSError make(Code code, const std::string& description) { return NSError(domain, code, description); }
};

}  // namespace platform
