#include "RarivOredu/hub/HubEndpoint.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "Platform/net/URLComponents.h"
#include "Platform/net/URLError.h"

namespace rarivoredu {
using platform::URLError;

namespace {

constexpr const char* defaultHub = "https://huggingface.co";

// Access tokens by repository id.
std::mutex tokenMutex;
std::map<std::string, std::string, std::less<>>& accessTokens() {
    static std::map<std::string, std::string, std::less<>> tokens;
    return tokens;
}

std::string configuredHub() {
    const char* configured = std::getenv("RARIVOREDU_HUB_URL");
    return configured != nullptr && *configured != '\0' ? configured : defaultHub;
}

std::string withoutTrailingSlashes(std::string address) {
    while (!address.empty() && address.back() == '/') address.pop_back();
    return address;
}

// Adds the proxy named by `value` to the dictionary; false when it names none.
bool addProxy(const char* value, const std::string& label, platform::ConnectionProxyDictionary& dictionary) {
    const auto components = platform::URLComponents::parse(value);
    if (!components || components->host.empty() || !components->port) {
        HubEndpoint::logger().warning("Invalid " + label + " proxy URL: " + value);
        return false;
    }
    if (label == "HTTPS") {
        dictionary.httpsEnable = true;
        dictionary.httpsProxy = components->host;
        dictionary.httpsPort = *components->port;
    } else {
        dictionary.httpEnable = true;
        dictionary.httpProxy = components->host;
        dictionary.httpPort = *components->port;
    }
    HubEndpoint::logger().info("Configured " + label + " proxy: " + components->host + ":" +
                               std::to_string(*components->port));
    return true;
}

}  // namespace

const AppLogger& HubEndpoint::logger() {
    static const AppLogger instance("DownloadUtils");
    return instance;
}

std::optional<platform::ConnectionProxyDictionary> HubEndpoint::proxyConfiguration() {
    platform::ConnectionProxyDictionary dictionary;
    bool configured = false;
    if (const char* value = std::getenv("https_proxy")) configured |= addProxy(value, "HTTPS", dictionary);
    if (const char* value = std::getenv("http_proxy")) configured |= addProxy(value, "HTTP", dictionary);
    if (!configured) return std::nullopt;
    return dictionary;
}

platform::URLSession& HubEndpoint::sharedSession() {
    static platform::URLSession session(platform::URLSessionConfiguration{proxyConfiguration()});
    return session;
}

std::string HubEndpoint::hubBaseURL() {
    const std::string base = configuredHub();
    const auto components = platform::URLComponents::parse(base);
    if (!components || (components->scheme != "http" && components->scheme != "https") ||
        base.find_first_of("?#") != std::string::npos) {
        throw URLError::make(URLError::badURL, "RARIVOREDU_HUB_URL must be an http or https address, not '" + base + "'");
    }
    return withoutTrailingSlashes(base);
}

std::string HubEndpoint::configuredHubAddress() { return withoutTrailingSlashes(configuredHub()); }

std::string HubEndpoint::resolveURL(Repo repo, const std::string& path) { return resolveURL(repo.remotePath(), path); }

std::string HubEndpoint::resolveURL(std::string_view repoId, const std::string& path) {
    requireSafePath(path);
    return hubBaseURL() + "/" + std::string(repoId) + "/resolve/main/" + platform::URLComponents::percentEncodePath(path);
}

std::string HubEndpoint::listingURL(std::string_view repoId, const std::string& path) {
    if (!path.empty()) requireSafePath(path);
    return hubBaseURL() + "/api/models/" + std::string(repoId) + "/tree/main" +
           (path.empty() ? "" : "/" + platform::URLComponents::percentEncodePath(path));
}

void HubEndpoint::setAccessToken(std::string_view repoId, std::string token) {
    std::lock_guard lock(tokenMutex);
    if (token.empty()) {
        if (const auto found = accessTokens().find(repoId); found != accessTokens().end()) accessTokens().erase(found);
    } else {
        accessTokens().insert_or_assign(std::string(repoId), std::move(token));
    }
}

std::string HubEndpoint::authorizationFor(const std::string& url) {
    std::lock_guard lock(tokenMutex);
    if (accessTokens().empty()) return {};
    std::string base;
    try {
        base = hubBaseURL();
    } catch (const platform::NSError&) {
        return {};
    }
    for (const auto& [repoId, token] : accessTokens()) {
        for (const std::string& prefix : {base + "/" + repoId + "/", base + "/api/models/" + repoId + "/"}) {
            if (url.compare(0, prefix.size(), prefix) == 0) return "Bearer " + token;
        }
    }
    return {};
}

bool HubEndpoint::isSafeRepoPath(std::string_view path) {
    if (path.empty() || path.front() == '/') return false;
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") return false;
        start = end + 1;
    }
    return true;
}

void HubEndpoint::requireSafePath(const std::string& path) {
    if (!isSafeRepoPath(path)) {
        throw URLError::make(URLError::badURL, "'" + path + "' is not a relative path inside the repository");
    }
}

void HubEndpoint::requireStatus200(const platform::HTTPURLResponse& response, const std::string& url) {
    if (response.statusCode != 200) {
        throw URLError::make(URLError::badServerResponse,
                             "status " + std::to_string(response.statusCode) + " from " + url);
    }
}

}  // namespace rarivoredu
