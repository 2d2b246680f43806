#include "RarivOredu/shared/ModelStore.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/shared/ModelStorageError.h"

namespace rarivoredu {

namespace fs = std::filesystem;
using platform::CocoaError;
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

std::uint64_t ModelStore::availableBytes(const fs::path& path) {
    fs::path probe = path.empty() ? fs::path(".") : path;
    std::error_code ec;
    while (!fs::exists(probe, ec) && probe.has_parent_path() && probe.parent_path() != probe)
        probe = probe.parent_path();
    struct statvfs facts {};
    if (::statvfs(probe.c_str(), &facts) != 0)
        throw CocoaError::fromSystemError(std::error_code(errno, std::generic_category()),
                                          "Could not examine the free space at " + path.string(), false);
    return static_cast<std::uint64_t>(facts.f_bavail) * static_cast<std::uint64_t>(facts.f_frsize);
}

void ModelStore::requireSpace(const fs::path& folder, std::uint64_t neededBytes, std::uint64_t available) {
    if (available < neededBytes) throw ModelStorageError::insufficientSpace(folder, neededBytes, available);
}

void ModelStore::requireSpace(const fs::path& folder, std::uint64_t neededBytes) {
    requireSpace(folder, neededBytes, availableBytes(folder));
}

}  // namespace rarivoredu
