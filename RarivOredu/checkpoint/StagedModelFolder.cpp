#include "RarivOredu/checkpoint/StagedModelFolder.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"

// Temporary stand-in until the checkpoint readers land.
namespace rarivoredu {
namespace fs = std::filesystem;

StagedModelFolder::StagedModelFolder(fs::path target) : target_(std::move(target)) {
    static std::atomic<int> counter{0};
    staging_ = target_;
    staging_ += ".importing-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    platform::FileManager::createDirectory(staging_);
}

StagedModelFolder::~StagedModelFolder() {
    if (committed_) return;
    std::error_code ec;
    fs::remove_all(staging_, ec);
}

void StagedModelFolder::commit() {
    std::optional<fs::path> aside;
    if (fs::exists(target_)) aside = platform::FileManager::moveAside(target_);
    try {
        platform::FileManager::moveItem(staging_, target_);
    } catch (...) {
        if (aside) platform::FileManager::moveItem(*aside, target_);
        throw;
    }
    committed_ = true;
    if (aside) {
        std::error_code ec;
        fs::remove_all(*aside, ec);
    }
}

std::uint64_t StagedModelFolder::availableBytes(const fs::path& path) {
    fs::path probe = path;
    while (!probe.empty() && !fs::exists(probe)) probe = probe.parent_path();
    struct statvfs facts {};
    if (::statvfs(probe.empty() ? "." : probe.c_str(), &facts) != 0) {
        throw platform::CocoaError::make(platform::CocoaError::fileReadUnknown, "Cannot examine " + path.string());
    }
    return static_cast<std::uint64_t>(facts.f_bavail) * facts.f_frsize;
}

}  // namespace rarivoredu
