#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/net/ConnectionProxyDictionary.h"
#include "Platform/net/HTTPURLResponse.h"
#include "Platform/net/URLSession.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// Where the model hub is and how it is reached: its address (RARIVOREDU_HUB_URL, default
// https://huggingface.co), the URLs of its listings and files, the one session every transfer
// goes through (with the proxies of the environment), the access tokens of gated repositories,
// and the rule for repository paths. Its paths:
//   listing  <hub>/api/models/<Repo::remotePath>/tree/main[/<folder>]
//   file     <hub>/<Repo::remotePath>/resolve/main/<path>
// Repository paths are percent-encoded in URLs. A path that is absolute, has an empty, "." or
// ".." segment or a control character is refused: nothing is ever written outside the
// repository folder. Every hub unit logs under the one category "DownloadUtils".
class HubEndpoint {
public:
    HubEndpoint() = delete;

    static const AppLogger& logger();
    // One session for the process, built on first use with the proxies of proxyConfiguration().
    static platform::URLSession& sharedSession();
    // The proxies named by "https_proxy" and "http_proxy" (these two names only): each must be a
    // URL with a host and a port. Nothing when neither gives one.
    static std::optional<platform::ConnectionProxyDictionary> proxyConfiguration();

    // The hub's address without a trailing "/". Throws NSError (badURL) when
    // RARIVOREDU_HUB_URL is not an http or https URL.
    static std::string hubBaseURL();
    // The hub's address as configured, unchecked, without a trailing "/": for naming an address
    // that hubBaseURL refuses.
    static std::string configuredHubAddress();
    // The download URL of a repository file. A repository id is "<owner>/<name>", as
    // Repo::remotePath gives one: the id forms reach repositories that are not ours (the
    // upstream checkpoints engines import from).
    static std::string resolveURL(Repo repo, const std::string& path);
    static std::string resolveURL(std::string_view repoId, const std::string& path);
    // The listing URL of one folder of a repository ("" for its root).
    static std::string listingURL(std::string_view repoId, const std::string& path);

    // An access token for one repository (a gated one the user was admitted to): the listings and
    // file requests of that repository carry it as "Authorization: Bearer <token>". It is kept in
    // memory only and never appears in a log line or an error text. An empty token removes it.
    static void setAccessToken(std::string_view repoId, std::string token);
    // The Authorization value for a hub URL: the token of the repository it points into, or "".
    static std::string authorizationFor(const std::string& url);

    // Whether a repository path may be put into a URL and below a local folder.
    static bool isSafeRepoPath(std::string_view path);
    // Throws URLError badURL for a path isSafeRepoPath refuses.
    static void requireSafePath(const std::string& path);
    // Throws URLError badServerResponse naming the status unless it is exactly 200.
    static void requireStatus200(const platform::HTTPURLResponse& response, const std::string& url);
};

}  // namespace rarivoredu
