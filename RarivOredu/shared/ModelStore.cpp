#include "RarivOredu/shared/ModelStore.h"

#include "Platform/system/FileManager.h"

namespace rarivoredu {

namespace fs = std::filesystem;
using platform::FileManager;

fs::path ModelStore::libraryFolder() { return FileManager::applicationSupportDirectory() / "RarivOredu"; }

fs::path ModelStore::modelsFolder() { return modelsFolder(libraryFolder()); }

fs::path ModelStore::modelsFolder(const fs::path& base) { return base / modelsFolderName; }

fs::path ModelStore::synthesisCacheFolder() { return FileManager::cachesDirectory() / "rarivoredu"; }

}  // namespace rarivoredu
