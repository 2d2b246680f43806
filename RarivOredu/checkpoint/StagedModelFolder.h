#pragma once

#include <cstdint>
#include <filesystem>

namespace rarivoredu {

// A model folder written beside its final place and swapped in whole, so a failed or interrupted
// import never leaves a half-written folder where a model is looked for.
//
// The staging folder is `<target>.importing-<pid>-<n>` in the target's parent folder (created if
// needed). It is removed when the object goes unless it was committed. Construction also clears
// what interrupted imports of `target` left behind: staging folders of processes that no longer
// run, and an old folder set aside by a commit that did not finish (put back when the target is
// missing, else removed). Failures of the file system throw platform::NSError.
class StagedModelFolder {
public:
    explicit StagedModelFolder(std::filesystem::path target);
    ~StagedModelFolder();
    StagedModelFolder(const StagedModelFolder&) = delete;
    StagedModelFolder& operator=(const StagedModelFolder&) = delete;

    // The folder to write into.
    const std::filesystem::path& path() const noexcept { return staging_; }
    const std::filesystem::path& target() const noexcept { return target_; }
    bool committed() const noexcept { return committed_; }

    // Puts the staged folder in the target's place. An existing target is swapped out atomically
    // (or, where the file system cannot exchange, renamed aside first) and then removed; if the
    // swap fails the old folder stays in place and the staged one is kept for another try.
    void commit();

    // Free bytes for an unprivileged user on the file system holding `path` (or its nearest
    // existing parent). Throws platform::NSError when none can be examined.
    static std::uint64_t availableBytes(const std::filesystem::path& path);

private:
    std::filesystem::path target_;
    std::filesystem::path staging_;
    bool committed_ = false;
};

}  // namespace rarivoredu
