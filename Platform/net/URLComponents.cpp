#include "Platform/net/URLComponents.h"

#include <curl/curl.h>

#include <memory>

namespace platform {
namespace {

struct URLHandleDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

std::optional<std::string> part(CURLU* handle, CURLUPart which) {
    char* text = nullptr;
    if (curl_url_get(handle, which, &text, 0) != CURLUE_OK || text == nullptr) return std::nullopt;
    std::string value(text);
    curl_free(text);
    return value;
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

}  // namespace

std::optional<URLComponents> URLComponents::parse(const std::string& text) {
    std::unique_ptr<CURLU, URLHandleDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = part(handle.get(), CURLUPART_SCHEME);
    auto host = part(handle.get(), CURLUPART_HOST);
    if (!scheme || !host || host->empty()) return std::nullopt;
    URLComponents components;
    components.scheme = *scheme;
    components.host = *host;
    if (auto port = part(handle.get(), CURLUPART_PORT)) components.port = std::stoi(*port);
    components.percentEncodedPath = part(handle.get(), CURLUPART_PATH).value_or("/");
    return components;
}

std::string URLComponents::percentEncodePath(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c) || c == '/') {
            encoded.push_back(ch);
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[c >> 4]);
            encoded.push_back(hex[c & 0x0F]);
        }
    }
    return encoded;
}

}  // namespace platform
