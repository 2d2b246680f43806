#include "RarivOredu/shared/ModelStore.h"

#include <string>

#include "Platform/system/FileManager.h"

namespace rarivoredu {

namespace fs = std::filesystem;
using platform::FileManager;

fs::path ModelStore::libraryFolder() { return FileManager::applicationSupportDirectory() / "RarivOredu"; }

fs::path ModelStore::modelsFolder() { return modelsFolder(libraryFolder()); }

fs::path ModelStore::modelsFolder(const fs::path& base) { return base / modelsFolderName; }

fs::path ModelStore::synthesisCacheFolder() { return FileManager::cachesDirectory() / "rarivoredu"; }

bool ModelStore::processRuns(std::uint64_t pid) {
    std::error_code error;
    const bool exists = fs::exists(fs::path("/proc") / std::to_string(pid), error);
    return exists || error;  // an id that cannot be looked up counts as running: nothing of it is removed
}

}  // namespace rarivoredu
