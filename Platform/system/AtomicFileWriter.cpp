#include "Platform/system/AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#include "Platform/system/NSError.h"

namespace platform {
namespace {

constexpr const char* kPOSIXDomain = "NSPOSIXErrorDomain";

[[noreturn]] void throwErrno(int code, const std::string& what, const std::filesystem::path& path) {
    throw NSError(kPOSIXDomain, code, what + " " + path.string() + ": " + std::strerror(code));
}

// A name beside the target that no other file has: ".name.XXXXXX".
std::string temporaryName(const std::filesystem::path& target) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    std::string suffix(6, ' ');
    for (char& letter : suffix) letter = kLetters[random() % (sizeof kLetters - 1)];
    return (target.parent_path() / ("." + target.filename().string() + "." + suffix)).string();
}

// Closes the descriptor and removes the temporary file unless the write went through. Made with
// the permissions given, which the umask narrows as for any new file.
class TemporaryFile {
public:
    TemporaryFile(const std::filesystem::path& target, mode_t mode) {
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            pattern_ = temporaryName(target);
            fd_ = ::open(pattern_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) throwErrno(errno, "Could not create a temporary file for", target);
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) ::unlink(pattern_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }
    std::filesystem::path path() const { return pattern_; }
    void closeFile() {
        if (fd_ >= 0) {
            const int fd = fd_;
            fd_ = -1;
            if (::close(fd) != 0 && errno != EINTR) throwErrno(errno, "Could not close", path());
        }
    }
    void commit() { committed_ = true; }

private:
    std::string pattern_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::filesystem::perms newFilePermissions)
    : newFilePermissions_(newFilePermissions) {}

void AtomicFileWriter::replace(const std::filesystem::path& path, std::string_view contents) {
    const std::filesystem::path directory = path.has_parent_path() ? path.parent_path() : ".";
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throwErrno(error.value(), "Could not create the folder", directory);

    TemporaryFile temporary(path, static_cast<mode_t>(newFilePermissions_));
    // The file it replaces keeps its permissions.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        ::fchmod(temporary.fd(), existing.st_mode & 07777) != 0)
        throwErrno(errno, "Could not give the permissions of", path);
    writeAll(temporary.fd(), contents);
    syncFile(temporary.fd());
    temporary.closeFile();
    renameFile(temporary.path(), path);
    temporary.commit();
    // The new file is in place from here on. Some file systems refuse to flush a folder;
    // that leaves only the rename's durability to the kernel and is no failure of the write.
    try {
        syncDirectory(directory);
    } catch (const NSError&) {
    }
}

void AtomicFileWriter::writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            throw NSError(kPOSIXDomain, errno, std::string("Could not write: ") + std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void AtomicFileWriter::syncFile(int fd) {
    if (::fsync(fd) != 0) {
        throw NSError(kPOSIXDomain, errno, std::string("Could not flush to disk: ") + std::strerror(errno));
    }
}

void AtomicFileWriter::renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) throwErrno(errno, "Could not rename onto", to);
}

void AtomicFileWriter::syncDirectory(const std::filesystem::path& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throwErrno(errno, "Could not open the folder", directory);
    const int result = ::fsync(fd);
    const int code = errno;
    ::close(fd);
    if (result != 0) throwErrno(code, "Could not flush the folder", directory);
}

}  // namespace platform
