#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace rarivoredu {

// A read-only view of the bytes [offset, offset + size) of a file, such as one member of a tar
// archive. Reads go through pread(2) on a descriptor shared by every region cut from the same
// opening, so nothing is mapped or read ahead: a 2.4 GB archive costs only the bytes asked for.
// Regions are cheap to copy; the descriptor closes with the last copy. Reads may run from several
// threads at once.
class FileRegion {
public:
    // An empty region of no file; reading from it fails unless nothing is asked for.
    FileRegion() = default;

    // The whole of a regular file. Throws CheckpointError::unreadable.
    static FileRegion open(const std::filesystem::path& path);

    // A part of this region; `offset` counts from this region's start. A part reaching past the
    // end throws CheckpointError::truncated naming `what`.
    FileRegion subRegion(std::uint64_t offset, std::uint64_t size, const std::string& what = "the region") const;

    const std::filesystem::path& path() const noexcept;
    // How error texts call the region: the file's path unless given another name
    // ("/m/a.nemo: model_weights.ckpt" for a tar member).
    std::string name() const;
    FileRegion named(std::string name) const;
    // Where the region starts in its file.
    std::uint64_t offset() const noexcept { return offset_; }
    std::uint64_t size() const noexcept { return size_; }

    // Copies `count` bytes from `at` (from the region's start). Reading past the region's end
    // throws CheckpointError::truncated; a failing read throws CheckpointError::unreadable.
    void read(std::uint64_t at, void* destination, std::size_t count) const;
    // The same into a new string of bytes.
    std::string readBytes(std::uint64_t at, std::size_t count) const;

private:
    struct File;

    FileRegion(std::shared_ptr<const File> file, std::uint64_t offset, std::uint64_t size)
        : file_(std::move(file)), offset_(offset), size_(size) {}

    std::shared_ptr<const File> file_;
    std::string name_;
    std::uint64_t offset_ = 0;
    std::uint64_t size_ = 0;
};

}  // namespace rarivoredu
