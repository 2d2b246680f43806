#pragma once

// What the harnesses share: an input cut into the files a reader takes together, and files in
// memory (memfd) or in a scratch folder for readers that open a path.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/log/LogEntry.h"
#include "Platform/log/Logger.h"

namespace fuzzsupport {

// Log entries go nowhere: a reader logs what it refuses, thousands of times a second here.
inline void quietLogs() {
    struct Discard : platform::LogSink {
        void write(const platform::LogEntry&) override {}
    };
    platform::Logger::setSink(std::make_shared<Discard>());
}

// The separator between the files of one input (each harness's dictionary holds it).
inline constexpr std::string_view separator = "\n=====\n";

// The input cut at each separator into at most `count` parts; missing parts are empty.
inline std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size, std::size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const auto at = rest.find(separator);
        if (at == std::string_view::npos) break;
        parts.push_back(rest.substr(0, at));
        rest.remove_prefix(at + separator.size());
    }
    parts.push_back(rest);
    parts.resize(count);
    return parts;
}

// A file in memory with a path that opens it: no disk is written for each input.
class MemoryFile {
public:
    MemoryFile() : descriptor_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        if (descriptor_ < 0) std::abort();
    }
    ~MemoryFile() { ::close(descriptor_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::filesystem::path write(std::string_view bytes) {
        if (::ftruncate(descriptor_, 0) != 0 ||
            ::pwrite(descriptor_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        return path();
    }
    std::filesystem::path path() const { return "/proc/self/fd/" + std::to_string(descriptor_); }

private:
    int descriptor_;
};

// A folder of this process for readers that take a folder or need a file name of their own;
// made once, emptied by the harness as it needs.
inline const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::filesystem::path path = std::filesystem::path(base && *base ? base : "/tmp") /
                                     ("parloquin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchFolder(), ignored);
        });
        return true;
    }();
    (void)removedAtExit;
    return folder;
}

// Empties the scratch folder.
inline void clearScratch() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(scratchFolder(), ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

// Writes the bytes to a file in the scratch folder and returns its path.
inline std::filesystem::path writeScratch(const std::string& name, std::string_view bytes) {
    const auto path = scratchFolder() / name;
    std::filesystem::create_directories(path.parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::fclose(file);
    return path;
}

}  // namespace fuzzsupport
