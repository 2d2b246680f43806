#include "Platform/net/URLError.h"

namespace platform {

std::string URLError::standardText(Code code) {
    switch (code) {
        case unknown: return "An unknown network error occurred.";
        case cancelled: return "The request was cancelled.";
        case badURL: return "The URL is not valid.";
        case timedOut: return "The request timed out.";
        case unsupportedURL: return "The URL is not supported.";
        case cannotFindHost: return "A server with the specified hostname could not be found.";
        case cannotConnectToHost: return "Could not connect to the server.";
        case networkConnectionLost: return "The network connection was lost.";
        case httpTooManyRedirects: return "There were too many HTTP redirects.";
        case badServerResponse: return "The server returned a bad response.";
        case cannotDecodeContentData: return "The response's content could not be decoded.";
        case dataLengthExceedsMaximum: return "The resource exceeds the maximum size.";
        case secureConnectionFailed: return "A secure connection to the server could not be made.";
        case serverCertificateUntrusted: return "The certificate for this server is invalid.";
        case cannotCreateFile: return "The download file could not be created.";
        case cannotWriteToFile: return "The download file could not be written.";
    }
    return "A network error occurred.";
}

NSError URLError::make(Code code, const std::string& details) {
    std::string text = standardText(code);
    if (!details.empty()) text += " (" + details + ")";
    return NSError(domain, code, text);
}

}  // namespace platform
