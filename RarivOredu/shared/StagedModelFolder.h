#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace rarivoredu {

// The one way a folder of the model store is written: beside its final place, under a name that
// carries the writing process's id, and swapped in whole, so that a failed or interrupted import
// never leaves a half-written folder where a model is looked for. Part of ModelStore.
//
// Made for a target, the staging folder is `<target>.importing-<pid>-<n>` in the target's parent
// folder (created if needed). Made with a parent and a stem, it is `<parent>/<stem><pid>-<n>`: a
// folder whose place is chosen at commit (the target is named then), or one that only holds
// downloads for a while and is never committed. It is removed when the object goes unless it was
// committed, and so is the lock file a RepoLock on it left. Construction also clears what
// interrupted work left behind: staging folders (and their lock files) of processes that no
// longer run (ModelStore::processRuns), and an old folder set aside by a commit that did not
// finish (put back when the target is missing, else removed). Failures of the file system throw
// platform::NSError.
class StagedModelFolder {
public:
    explicit StagedModelFolder(std::filesystem::path target);
    StagedModelFolder(const std::filesystem::path& parent, std::string stem);
    ~StagedModelFolder();
    StagedModelFolder(const StagedModelFolder&) = delete;
    StagedModelFolder& operator=(const StagedModelFolder&) = delete;

    // The folder to write into.
    const std::filesystem::path& path() const noexcept { return staging_; }
    // The folder it replaces; empty until one is chosen.
    const std::filesystem::path& target() const noexcept { return target_; }
    bool committed() const noexcept { return committed_; }

    // Puts the staged folder in the target's place. An existing target is swapped out atomically
    // (or, where the file system cannot exchange, renamed aside first) and then removed; if the
    // swap fails the old folder stays in place and the staged one is kept for another try.
    void commit();
    // As commit(), into `target`, chosen now: a folder beside the staging folder.
    void commit(const std::filesystem::path& target);

private:
    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool committed_ = false;
};

}  // namespace rarivoredu
