#include "RarivOredu/shared/RepoLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <system_error>

#include "Platform/system/CocoaError.h"
#include "Platform/system/FileManager.h"

namespace rarivoredu {
namespace fs = std::filesystem;
namespace {

std::shared_ptr<std::mutex> mutexFor(const fs::path& key) {
    static std::mutex registryMutex;
    static std::map<fs::path, std::shared_ptr<std::mutex>> registry;
    std::lock_guard lock(registryMutex);
    auto& slot = registry[key];
    if (!slot) slot = std::make_shared<std::mutex>();
    return slot;
}

// How often this thread holds each folder.
std::map<fs::path, int>& heldByThisThread() {
    thread_local std::map<fs::path, int> held;
    return held;
}

fs::path keyFor(const fs::path& repoFolder) {
    std::error_code ec;
    fs::path absolute = fs::absolute(repoFolder, ec);
    if (ec) absolute = repoFolder;
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    return (ec ? absolute : canonical).lexically_normal();
}

}  // namespace

fs::path RepoLock::lockFilePath(const fs::path& repoFolder) {
    const fs::path key = keyFor(repoFolder);
    return key.parent_path() / ("." + key.filename().string() + ".lock");
}

RepoLock::RepoLock(const fs::path& repoFolder) : key_(keyFor(repoFolder)) {
    int& count = heldByThisThread()[key_];
    if (count > 0) {
        ++count;
        return;
    }
    mutex_ = mutexFor(key_);
    std::unique_lock processLock(*mutex_);

    const fs::path lockFile = lockFilePath(key_);
    platform::FileManager::createDirectory(lockFile.parent_path());
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw platform::CocoaError::fromSystemError(std::error_code(errno, std::generic_category()),
                                                    "Could not open the lock file " + lockFile.string(), true);
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd_);
        throw platform::CocoaError::fromSystemError(std::error_code(error, std::generic_category()),
                                                    "Could not lock " + lockFile.string(), true);
    }
    processLock.release();
    outermost_ = true;
    count = 1;
}

RepoLock::~RepoLock() {
    auto& held = heldByThisThread();
    auto it = held.find(key_);
    if (it != held.end() && --it->second == 0) held.erase(it);
    if (!outermost_) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    mutex_->unlock();
}

}  // namespace rarivoredu

