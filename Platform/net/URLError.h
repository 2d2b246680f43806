#pragma once

#include <string>

#include "Platform/system/NSError.h"

namespace platform {

// Errors of URL loading, all in the domain "NSURLErrorDomain". The description is the code's
// standard text, followed by the details in parentheses when there are any.
struct URLError {
    static constexpr const char* domain = "NSURLErrorDomain";
    enum Code : long {
        unknown = -1,
        cancelled = -999,
        badURL = -1000,
        timedOut = -1001,
        unsupportedURL = -1002,
        cannotFindHost = -1003,
        cannotConnectToHost = -1004,
        networkConnectionLost = -1005,
        httpTooManyRedirects = -1007,
        badServerResponse = -1011,
        cannotDecodeContentData = -1016,
        dataLengthExceedsMaximum = -1103,
        secureConnectionFailed = -1200,
        serverCertificateUntrusted = -1202,
        cannotCreateFile = -3000,
        cannotWriteToFile = -3003,
    };

    static std::string standardText(Code code);
    static NSError make(Code code, const std::string& details = {});
};

}  // namespace platform
