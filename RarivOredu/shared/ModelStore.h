#pragma once

#include <cstdint>
#include <filesystem>

namespace rarivoredu {

// Where the speech models live on disk and the rules for writing there, written here and nowhere
// else. The library folder, <Application Support>/RarivOredu, holds the "Models" folder with one
// folder per repository (the recogniser, the speech detector, the diarizer); the synthesis cache,
// $XDG_CACHE_HOME/rarivoredu, holds a "Models" folder of its own for the synthesis models. A folder
// of the store is written through a StagedModelFolder and swapped in whole; work on one repository
// folder holds its RepoLock; fetching or writing models first asks requireSpace. Folders a process
// leaves in the store while it writes carry its id; `processRuns` says whether such a folder
// still has an owner.
struct ModelStore {
    // The name of the folder of models below a base folder.
    static constexpr const char* modelsFolderName = "Models";

    // <Application Support>/RarivOredu: the folder the models folder sits in, as the settings show it.
    static std::filesystem::path libraryFolder();
    // <Application Support>/RarivOredu/Models.
    static std::filesystem::path modelsFolder();
    // <base>/Models.
    static std::filesystem::path modelsFolder(const std::filesystem::path& base);
    // $XDG_CACHE_HOME/rarivoredu (default ~/.cache/rarivoredu); not created here.
    static std::filesystem::path synthesisCacheFolder();

    // Whether the process with this id still runs; false for ids no process holds.
    static bool processRuns(std::uint64_t pid);

    // Free bytes for an unprivileged user on the file system holding `path` (or its nearest
    // existing parent). Throws platform::NSError when none can be examined.
    static std::uint64_t availableBytes(const std::filesystem::path& path);
    // The one check of free space before models are fetched or written: throws
    // ModelStorageError::insufficientSpace when `availableBytes` is below `neededBytes`.
    static void requireSpace(const std::filesystem::path& folder, std::uint64_t neededBytes,
                             std::uint64_t availableBytes);
    // As above, with the free space of `folder`'s file system.
    static void requireSpace(const std::filesystem::path& folder, std::uint64_t neededBytes);
};

}  // namespace rarivoredu
