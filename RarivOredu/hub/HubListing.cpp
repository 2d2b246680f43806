#include "RarivOredu/hub/HubListing.h"

#include "Platform/net/URLError.h"
#include "RarivOredu/hub/HubEndpoint.h"

namespace rarivoredu {
using platform::URLError;

namespace {

constexpr double listingTimeout = 30;

// Whether a listing entry may stand in the listing of `folder`.
bool belongsTo(std::string_view entryPath, std::string_view folder) {
    if (!HubEndpoint::isSafeRepoPath(entryPath)) return false;
    if (folder.empty()) return true;
    return entryPath.size() > folder.size() + 1 && entryPath.compare(0, folder.size(), folder) == 0 &&
           entryPath[folder.size()] == '/';
}

}  // namespace

std::vector<RepoFile> HubListing::listRepoFiles(Repo repo, const std::string& path) {
    return listRepoFiles(repo.remotePath(), path);
}

std::vector<RepoFile> HubListing::listRepoFiles(std::string_view repoId, const std::string& path) {
    auto files = listing(repoId, path, {});
    return std::move(*files);
}

std::optional<std::vector<RepoFile>> HubListing::listRepoFilesIfPresent(std::string_view repoId,
                                                                        const std::string& path) {
    return listing(repoId, path, {404, 401});
}

std::optional<RepoFile> HubListing::findRepoFile(std::string_view repoId, const std::string& path) {
    const auto slash = path.rfind('/');
    const auto files = listing(repoId, slash == std::string::npos ? std::string() : path.substr(0, slash), {404});
    if (!files) return std::nullopt;
    for (const auto& file : *files) {
        if (file.type == "file" && file.path == path) return file;
    }
    return std::nullopt;
}

std::optional<std::vector<RepoFile>> HubListing::listing(std::string_view repoId, const std::string& path,
                                                         std::initializer_list<int> missingStatuses) {
    const std::string url = HubEndpoint::listingURL(repoId, path);
    auto [body, response] = HubEndpoint::sharedSession().data(
        platform::URLRequest{url, listingTimeout, HubEndpoint::authorizationFor(url)});
    for (const int missing : missingStatuses) {
        if (response.statusCode == missing) return std::nullopt;
    }
    HubEndpoint::requireStatus200(response, url);
    auto files = RepoFile::decodeListing(
        std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    for (const auto& file : files) {
        if (!belongsTo(file.path, path)) {
            throw URLError::make(URLError::badServerResponse,
                                 "the listing of " + std::string(repoId) + (path.empty() ? "" : "/" + path) +
                                     " holds the path '" + file.path + "', which is not inside it");
        }
    }
    return files;
}

}  // namespace rarivoredu
