#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/hub/RepoFile.h"
#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// The listings of the model hub: the entries of one folder of a repository, fetched through
// HubEndpoint and checked before anyone acts on them. A listing that holds an unsafe path or an
// entry outside the folder that was listed is refused (URLError badServerResponse). All
// functions block; failures are thrown as NSError of the platform.
class HubListing {
public:
    HubListing() = delete;

    // The entries of one folder of a repository ("" for its root). Status must be exactly 200.
    static std::vector<RepoFile> listRepoFiles(Repo repo, const std::string& path = {});
    static std::vector<RepoFile> listRepoFiles(std::string_view repoId, const std::string& path = {});
    // As listRepoFiles, but nothing when the hub has no such repository or folder (status 404,
    // or 401 as the public hub answers for a repository it does not show).
    static std::optional<std::vector<RepoFile>> listRepoFilesIfPresent(std::string_view repoId,
                                                                       const std::string& path = {});
    // The listing entry of one file of a repository (its folder is listed); nothing when the hub
    // holds no such repository, folder or file (status 404). Other failures are thrown.
    static std::optional<RepoFile> findRepoFile(std::string_view repoId, const std::string& path);

private:
    // A listing; nothing when its status is one of `missingStatuses`.
    static std::optional<std::vector<RepoFile>> listing(std::string_view repoId, const std::string& path,
                                                        std::initializer_list<int> missingStatuses);
};

}  // namespace rarivoredu
