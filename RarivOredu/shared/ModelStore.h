#pragma once

#include <cstdint>
#include <filesystem>

namespace rarivoredu {

// Where the speech models live on disk, written here and nowhere else. The library folder,
// <Application Support>/RarivOredu, holds the "Models" folder with one folder per repository (the
// recogniser, the speech detector, the diarizer); the synthesis cache, $XDG_CACHE_HOME/rarivoredu,
// holds a "Models" folder of its own for the synthesis models. Folders a process leaves in the store
// while it writes carry its id; `processRuns` says whether such a folder still has an owner.
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
};

}  // namespace rarivoredu
