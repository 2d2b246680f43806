#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The user's standard folders and the few file operations the library needs. Every failure
// throws NSError in the Cocoa error domain (see CocoaError).
//
// Folders follow the XDG base directories: the Application Support folder is $XDG_DATA_HOME
// (default ~/.local/share), the Caches folder $XDG_CACHE_HOME (default ~/.cache), the user's
// configuration $XDG_CONFIG_HOME (default ~/.config). A variable that is empty or holds a relative
// path is ignored.
class FileManager {
public:
    FileManager() = delete;

    // $HOME, else the home folder of the user's account entry.
    static std::filesystem::path homeDirectoryForCurrentUser();
    static std::filesystem::path applicationSupportDirectory();
    static std::filesystem::path cachesDirectory();
    static std::filesystem::path configurationDirectory();

    // Whether something exists at the path (links followed); `isDirectory` tells what it is.
    static bool fileExists(const std::filesystem::path& path, bool* isDirectory = nullptr);
    // Nothing when there is no regular file at the path.
    static std::optional<std::uint64_t> fileSize(const std::filesystem::path& path);

    // Creating a folder that exists is no error; without intermediate directories the parent
    // must exist.
    static void createDirectory(const std::filesystem::path& path, bool withIntermediateDirectories = true);
    // Removes a file or a whole folder; nothing there is an error (fileNoSuchFile).
    static void removeItem(const std::filesystem::path& path);
    // Renames within one file system, replacing a file at the destination. Fails across file
    // systems; callers then copy.
    static void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);
    // Renames a file or folder beside itself to "<name>.corrupt-<UTC time>" (20260105T093012Z),
    // with "-1", "-2" … appended while that name is taken, and returns the new path. Nothing is
    // ever replaced.
    static std::filesystem::path moveAside(const std::filesystem::path& path);
    // Copies a file or a folder; the destination must not exist.
    static void copyItem(const std::filesystem::path& from, const std::filesystem::path& to);
    // The names of a folder's entries, one level, sorted.
    static std::vector<std::string> contentsOfDirectory(const std::filesystem::path& path);
};

}  // namespace platform
