#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

namespace rarivoredu {

// Holds a repository folder for one piece of work (check, download, delete, load) so that two
// loads of one repository never delete and download over each other: within the process a mutex
// per folder, across processes an exclusive flock on the lock file beside the folder
// ("<parent>/.<folder name>.lock", which outlives the folder). Blocks until the folder is free.
// A thread that holds a folder may take it again (nested holds are free).
// Throws NSError when the lock file cannot be created.
class RepoLock {
public:
    explicit RepoLock(const std::filesystem::path& repoFolder);
    ~RepoLock();
    RepoLock(const RepoLock&) = delete;
    RepoLock& operator=(const RepoLock&) = delete;

    static std::filesystem::path lockFilePath(const std::filesystem::path& repoFolder);

private:
    std::filesystem::path key_;
    bool outermost_ = false;
    std::shared_ptr<std::mutex> mutex_;
    int fd_ = -1;
};

}  // namespace rarivoredu
