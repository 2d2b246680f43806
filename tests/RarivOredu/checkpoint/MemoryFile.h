#pragma once

// A file in memory (memfd) with a path that opens it, for tests that read thousands of slightly
// different files: writing those to disk would take most of their time.

#include <sys/mman.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace checkpointtest {

class MemoryFile {
public:
    MemoryFile() : descriptor_(::memfd_create("checkpoint-test", MFD_CLOEXEC)) {
        if (descriptor_ < 0) throw std::runtime_error("memfd_create failed");
    }
    ~MemoryFile() { ::close(descriptor_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the contents and returns the path.
    std::filesystem::path write(std::string_view bytes) {
        if (::ftruncate(descriptor_, 0) != 0 ||
            ::pwrite(descriptor_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("writing a memory file failed");
        return path();
    }

    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(descriptor_); }

private:
    int descriptor_;
};

}  // namespace checkpointtest
