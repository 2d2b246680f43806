#pragma once

#include <filesystem>
#include <string_view>

namespace platform {

// Replaces a file so that whoever reads it, now or after a crash, finds either the old
// contents or the new ones, whole: the bytes go to a temporary file beside the target,
// which is flushed to disk, renamed over the target, and the folder is flushed too. Every
// write is checked, so a full disk fails the replacement instead of leaving a cut file.
//
// A replaced file keeps its permissions. A new one gets the writer's permissions less the
// process's umask: by default only its owner may read and write it (settings, history); a
// file the user saves is made as any other file of theirs (everyone).
//
// The steps are virtual so that a test can make one of them fail (or kill the process
// half-way through a write) and check that the old file survives.
class AtomicFileWriter {
public:
    static constexpr std::filesystem::perms ownerOnly =
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    static constexpr std::filesystem::perms everyone = ownerOnly | std::filesystem::perms::group_read |
                                                             std::filesystem::perms::group_write |
                                                             std::filesystem::perms::others_read |
                                                             std::filesystem::perms::others_write;

    explicit AtomicFileWriter(std::filesystem::perms newFilePermissions = ownerOnly);
    virtual ~AtomicFileWriter() = default;

    // Creates the folder when it is missing. Throws platform::NSError (POSIX domain, errno
    // as code) when a step fails; the target is then as it was and the temporary file is gone.
    void replace(const std::filesystem::path& path, std::string_view contents);

protected:
    virtual void writeAll(int fd, std::string_view bytes);
    virtual void syncFile(int fd);
    virtual void renameFile(const std::filesystem::path& from, const std::filesystem::path& to);
    virtual void syncDirectory(const std::filesystem::path& directory);

private:
    std::filesystem::perms newFilePermissions_;
};

}  // namespace platform
