#include "RarivOredu/checkpoint/FileRegion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

struct FileRegion::File {
    std::filesystem::path path;
    int descriptor = -1;

    ~File() {
        if (descriptor >= 0) ::close(descriptor);
    }
};

namespace {

const std::filesystem::path& noPath() {
    static const std::filesystem::path empty;
    return empty;
}

}  // namespace

FileRegion FileRegion::open(const std::filesystem::path& path) {
    auto file = std::make_shared<File>();
    file->path = path;
    // Non-blocking, so that a FIFO given by mistake is refused below instead of waiting forever.
    file->descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file->descriptor < 0) throw CheckpointError::unreadable(path, std::strerror(errno));
    struct stat status {};
    if (::fstat(file->descriptor, &status) != 0) throw CheckpointError::unreadable(path, std::strerror(errno));
    if (!S_ISREG(status.st_mode)) throw CheckpointError::unreadable(path, "not a regular file");
    const auto size = static_cast<std::uint64_t>(status.st_size);
    return FileRegion(std::move(file), 0, size);
}

FileRegion FileRegion::subRegion(std::uint64_t offset, std::uint64_t size, const std::string& what) const {
    if (offset > size_ || size > size_ - offset) throw CheckpointError::truncated(what);
    return FileRegion(file_, offset_ + offset, size);
}

const std::filesystem::path& FileRegion::path() const noexcept { return file_ ? file_->path : noPath(); }

std::string FileRegion::name() const {
    if (!name_.empty()) return name_;
    return file_ ? file_->path.string() : std::string("an empty region");
}

FileRegion FileRegion::named(std::string name) const {
    FileRegion copy = *this;
    copy.name_ = std::move(name);
    return copy;
}

void FileRegion::read(std::uint64_t at, void* destination, std::size_t count) const {
    if (count == 0) return;
    if (at > size_ || count > size_ - at) throw CheckpointError::truncated(name());
    auto* out = static_cast<char*>(destination);
    std::uint64_t position = offset_ + at;
    while (count > 0) {
        const std::size_t chunk = count < (std::size_t{1} << 30) ? count : (std::size_t{1} << 30);
        const ssize_t got = ::pread(file_->descriptor, out, chunk, static_cast<off_t>(position));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw CheckpointError::unreadable(file_->path, std::strerror(errno));
        }
        // The file shrank under us since it was opened.
        if (got == 0) throw CheckpointError::truncated(name());
        out += got;
        position += static_cast<std::uint64_t>(got);
        count -= static_cast<std::size_t>(got);
    }
}

std::string FileRegion::readBytes(std::uint64_t at, std::size_t count) const {
    if (at > size_ || count > size_ - at) throw CheckpointError::truncated(name());
    std::string bytes(count, '\0');
    read(at, bytes.data(), count);
    return bytes;
}

}  // namespace rarivoredu
