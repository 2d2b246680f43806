#include "RarivOredu/shared/StagedModelFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/shared/ModelStore.h"
#include "RarivOredu/shared/RepoLock.h"

namespace rarivoredu {
namespace {

namespace fs = std::filesystem;
using platform::CocoaError;
using platform::FileManager;

std::atomic<unsigned> stagingCounter{0};

constexpr const char* stagingMarker = ".importing-";
constexpr const char* asideMarker = ".replaced-";
constexpr std::string_view lockSuffix = ".lock";

// The pid in "<stem><pid>-<n>", when the name has that form.
std::optional<std::uint64_t> ownerOf(const std::string& entry, const std::string& stem) {
    if (entry.compare(0, stem.size(), stem) != 0) return std::nullopt;
    std::size_t i = stem.size();
    long long pid = 0;
    const std::size_t digits = i;
    while (i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && pid < (1LL << 31))
        pid = pid * 10 + (entry[i++] - '0');
    if (i == digits || i >= entry.size() || entry[i] != '-' || pid <= 0 || pid >= (1LL << 31)) return std::nullopt;
    for (std::size_t j = i + 1; j < entry.size(); ++j)
        if (entry[j] < '0' || entry[j] > '9') return std::nullopt;
    return static_cast<std::uint64_t>(pid);
}

fs::path parentOf(const fs::path& target) {
    const fs::path parent = target.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

fs::path freshName(const fs::path& parent, const std::string& stem) {
    const std::string base = stem + std::to_string(::getpid()) + "-";
    for (;;) {
        const fs::path candidate = parent / (base + std::to_string(stagingCounter.fetch_add(1)));
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

// Staging folders "<stem><pid>-<n>" of processes that no longer run, and the lock files
// ".<stem><pid>-<n>.lock" a RepoLock on one of them left.
void clearAbandonedStaging(const fs::path& parent, const std::string& stem) {
    for (const std::string& entry : FileManager::contentsOfDirectory(parent)) {
        std::string name = entry;
        if (name.size() > 1 + lockSuffix.size() && name.front() == '.' && name.ends_with(lockSuffix)) {
            name = name.substr(1, name.size() - 1 - lockSuffix.size());
        }
        if (const auto pid = ownerOf(name, stem); pid && !ModelStore::processRuns(*pid)) {
            removeQuietly(parent / entry);
        }
    }
}

// An old folder a commit into `target` set aside but did not remove (or did not get to replace).
void clearSetAside(const fs::path& target) {
    const std::string stem = target.filename().string() + asideMarker;
    const fs::path parent = parentOf(target);
    for (const std::string& entry : FileManager::contentsOfDirectory(parent)) {
        const auto owner = ownerOf(entry, stem);
        if (!owner || ModelStore::processRuns(*owner)) continue;
        if (FileManager::fileExists(target)) {
            removeQuietly(parent / entry);
        } else {
            FileManager::moveItem(parent / entry, target);
        }
    }
}

}  // namespace

StagedModelFolder::StagedModelFolder(fs::path target) : target_(std::move(target)) {
    if (target_.filename().empty()) target_ = target_.parent_path();
    const fs::path parent = parentOf(target_);
    const std::string stem = target_.filename().string() + stagingMarker;
    FileManager::createDirectory(parent, true);
    clearAbandonedStaging(parent, stem);
    clearSetAside(target_);
    staging_ = freshName(parent, stem);
    FileManager::createDirectory(staging_, false);
}

StagedModelFolder::StagedModelFolder(const fs::path& parent, std::string stem) {
    FileManager::createDirectory(parent, true);
    clearAbandonedStaging(parent, stem);
    staging_ = freshName(parent, stem);
    FileManager::createDirectory(staging_, false);
}

StagedModelFolder::~StagedModelFolder() {
    if (!committed_) removeQuietly(staging_);
    std::error_code ignored;
    fs::remove(RepoLock::lockFilePath(staging_), ignored);
}

void StagedModelFolder::commit(const fs::path& target) {
    if (committed_) return;
    target_ = target;
    if (target_.filename().empty()) target_ = target_.parent_path();
    clearSetAside(target_);
    commit();
}

void StagedModelFolder::commit() {
    if (committed_) return;
    if (target_.empty()) {
        throw CocoaError::make(CocoaError::fileWriteUnknown, "No place was chosen for " + staging_.string());
    }
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
        const fs::path aside = freshName(parentOf(target_), target_.filename().string() + asideMarker);
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

}  // namespace rarivoredu
