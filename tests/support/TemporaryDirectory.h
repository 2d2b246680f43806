#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace testsupport {

// A fresh folder below the system's temporary folder, removed with everything in it at the end.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const noexcept { return path_; }

    // Every file and folder below `folder`, as paths relative to it.
    static std::set<std::string> tree(const std::filesystem::path& folder);
    static std::string read(const std::filesystem::path& file);
    static void write(const std::filesystem::path& file, const std::string& bytes);

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
