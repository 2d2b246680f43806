#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLComputeUnits.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/UpstreamImport.h"

namespace rarivoredu {

// Loading the compiled models of a repository folder, with its recovery: a folder that is missing
// is mirrored from the hub first (RepoMirror), and one that fails to load is set aside, fetched
// afresh and loaded once more, and put back as it was when no fresh copy loads. Loads of one
// repository run one at a time, also across processes (RepoLock). A cancelled load neither
// recovers nor retries. All functions block; failures are thrown.
class ModelFolderLoader {
public:
    ModelFolderLoader() = delete;

    // Loads the named compiled models of a repository from <directory>/<Repo::folderName>,
    // downloading the repository first when that folder is missing. When the attempt fails, the
    // folder is replaced by a fresh download (refetchRepo) and the load tried once more on it; a
    // folder that this call downloaded itself is simply downloaded once more. Nothing the user
    // had is lost: when no fresh copy loads, the folder is put back as it was and the error
    // names the first failure. An error that trying again cannot mend
    // (ModelSourceError::isPermanent) is thrown at once, without a second download. Every
    // download goes through `importer` first when one is given (RepoMirror::downloadRepo).
    static std::map<std::string, platform::MLModelPtr> loadModels(Repo repo, const std::vector<std::string>& modelNames,
                                                                  const std::filesystem::path& directory,
                                                                  platform::MLComputeUnits computeUnits,
                                                                  const UpstreamImport::Importer& importer = {});
    // Replaces a repository folder that failed with `cause`: moves it aside (FileManager::moveAside),
    // downloads the repository into its place and runs `use` on the fresh copy. When the download
    // or `use` fails, the fresh copy is removed and the folder moved back; a failed download then
    // throws ModelFolderError naming `cause` and the download's error (a cancellation is thrown as
    // it is), a failed `use` its own error. Once `use` succeeds, the folder set aside is removed.
    // Loads of the repository inside `use` get no recovery of their own.
    static void refetchRepo(Repo repo, const std::filesystem::path& directory, const std::exception_ptr& cause,
                            const std::function<void()>& use, const UpstreamImport::Importer& importer = {});

private:
    static std::map<std::string, platform::MLModelPtr> loadModelsOnce(Repo repo,
                                                                      const std::vector<std::string>& modelNames,
                                                                      const std::filesystem::path& directory,
                                                                      platform::MLComputeUnits computeUnits,
                                                                      const UpstreamImport::Importer& importer);
};

}  // namespace rarivoredu
