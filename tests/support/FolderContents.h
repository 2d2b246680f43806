#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "tests/support/FileBytes.h"

namespace testsupport {

// Every file and folder below `folder`, as paths relative to it.
inline std::set<std::string> folderContents(const std::filesystem::path& folder) {
    std::set<std::string> entries;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        entries.insert(std::filesystem::relative(it->path(), folder).string());
    }
    return entries;
}

// The bytes of every file below `folder`, by path relative to it.
inline std::map<std::string, std::string> folderFiles(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file()) files[std::filesystem::relative(it->path(), folder).string()] = readBytes(it->path());
    }
    return files;
}

// writeFile, creating the folders on the way.
inline std::filesystem::path writeFileMakingFolders(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    return writeFile(path, bytes);
}

}  // namespace testsupport
