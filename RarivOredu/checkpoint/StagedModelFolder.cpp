#include "RarivOredu/checkpoint/StagedModelFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;

std::atomic<unsigned> stagingCounter{0};

constexpr const char* stagingMarker = ".importing-";
constexpr const char* asideMarker = ".replaced-";

// The pid in "<target name><marker><pid>-<n>", when the name has that form.
std::optional<pid_t> ownerOf(const std::string& entry, const std::string& stem) {
    if (entry.compare(0, stem.size(), stem) != 0) return std::nullopt;
    std::size_t i = stem.size();
    long long pid = 0;
    const std::size_t digits = i;
    while (i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && pid < (1LL << 31))
        pid = pid * 10 + (entry[i++] - '0');
    if (i == digits || i >= entry.size() || entry[i] != '-' || pid <= 0 || pid >= (1LL << 31)) return std::nullopt;
    for (std::size_t j = i + 1; j < entry.size(); ++j)
        if (entry[j] < '0' || entry[j] > '9') return std::nullopt;
    return static_cast<pid_t>(pid);
}

bool processRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

fs::path parentOf(const fs::path& target) {
    const fs::path parent = target.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

fs::path freshSibling(const fs::path& target, const char* marker) {
    const std::string base = target.filename().string() + marker + std::to_string(::getpid()) + "-";
    for (;;) {
        const fs::path candidate = parentOf(target) / (base + std::to_string(stagingCounter.fetch_add(1)));
        if (!FileManager::fileExists(candidate)) return candidate;
    }
}

void syncFolder(const fs::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

void removeQuietly(const fs::path& path) {
    try {
        if (FileManager::fileExists(path)) FileManager::removeItem(path);
    } catch (const platform::NSError&) {
        // Left for the next import of this folder to clear.
    }
}

// What interrupted imports of `target` left: their staging folders, and an old folder a commit
// set aside but did not remove (or did not get to replace).
void clearLeftovers(const fs::path& target) {
    const std::string name = target.filename().string();
    const fs::path parent = parentOf(target);
    for (const std::string& entry : FileManager::contentsOfDirectory(parent)) {
        if (const auto pid = ownerOf(entry, name + stagingMarker)) {
            if (!processRuns(*pid)) removeQuietly(parent / entry);
        } else if (const auto owner = ownerOf(entry, name + asideMarker)) {
            if (processRuns(*owner)) continue;
            if (FileManager::fileExists(target)) {
                removeQuietly(parent / entry);
            } else {
                FileManager::moveItem(parent / entry, target);
            }
        }
    }
}

}  // namespace

StagedModelFolder::StagedModelFolder(fs::path target) : target_(std::move(target)) {
    if (target_.filename().empty()) target_ = target_.parent_path();
    FileManager::createDirectory(parentOf(target_), true);
    clearLeftovers(target_);
    staging_ = freshSibling(target_, stagingMarker);
    FileManager::createDirectory(staging_, false);
}

StagedModelFolder::~StagedModelFolder() {
    if (!committed_) removeQuietly(staging_);
}

void StagedModelFolder::commit() {
    if (committed_) return;
    if (!FileManager::fileExists(target_)) {
        FileManager::moveItem(staging_, target_);
    } else if (::renameat2(AT_FDCWD, staging_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
        // The staging name now holds the old folder.
        committed_ = true;
        syncFolder(parentOf(target_));
        removeQuietly(staging_);
        return;
    } else if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        // No atomic exchange here: set the old folder aside, move the new one in, put the old one
        // back if that fails.
        const fs::path aside = freshSibling(target_, asideMarker);
        FileManager::moveItem(target_, aside);
        try {
            FileManager::moveItem(staging_, target_);
        } catch (...) {
            FileManager::moveItem(aside, target_);
            throw;
        }
        committed_ = true;
        syncFolder(parentOf(target_));
        removeQuietly(aside);
        return;
    } else {
        throw CocoaError::fromSystemError(std::error_code(errno, std::generic_category()),
                                          "Could not replace " + target_.string() + " with " + staging_.string(), true);
    }
    committed_ = true;
    syncFolder(parentOf(target_));
}

std::uint64_t StagedModelFolder::availableBytes(const fs::path& path) {
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

}  // namespace rarivoredu
