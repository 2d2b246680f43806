#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/UpstreamImport.h"

namespace rarivoredu {

// Makes a repository folder of the models directory hold what the hub holds for it: the
// upstream import its owner hands over and the hub holds its source, otherwise the
// required compiled models and the top-level ".json" and ".txt" files, folder by folder as the
// listings give them. Files already complete are kept; every file goes through
// VerifiedDownload. All functions block; failures are thrown.
class RepoMirror {
public:
    RepoMirror() = delete;

    // Fills <directory>/<Repo::folderName>, holding the repository's RepoLock: through `importer`
    // when one is given and the hub holds its source; otherwise by downloading the repository's
    // required models and its top-level ".json" and ".txt" files.
    static void downloadRepo(Repo repo, const std::filesystem::path& directory,
                             const UpstreamImport::Importer& importer = {});
    // Downloads one repository folder, recursively, into repoFolder/path.
    static void downloadDirectory(Repo repo, const std::string& path, const std::filesystem::path& repoFolder);

private:
    // As above; `beforeFetch` runs before each file that is really fetched (not one already complete).
    static void downloadDirectory(Repo repo, const std::string& path, const std::filesystem::path& repoFolder,
                                  const std::function<void()>& beforeFetch);
};

}  // namespace rarivoredu
