#include "Platform/system/FileManager.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "Platform/system/CocoaError.h"
#include "Platform/system/Date.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

std::optional<fs::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    fs::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

std::string timeStampForFileName() {
    const auto c = Date::now().utcComponents();
    if (!c) return "unknown";
    char text[32];
    std::snprintf(text, sizeof text, "%04lld%02d%02dT%02d%02d%02dZ", static_cast<long long>(c->year), c->month,
                  c->day, c->hour, c->minute, c->second);
    return text;
}

}  // namespace

fs::path FileManager::homeDirectoryForCurrentUser() {
    if (auto home = absoluteFromEnvironment("HOME")) return *home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && *result->pw_dir == '/') {
        return fs::path(result->pw_dir);
    }
    throw CocoaError::make(CocoaError::fileNoSuchFile, "The home folder of the current user could not be found");
}

fs::path FileManager::applicationSupportDirectory() {
    if (auto dataHome = absoluteFromEnvironment("XDG_DATA_HOME")) return *dataHome;
    return homeDirectoryForCurrentUser() / ".local" / "share";
}

fs::path FileManager::cachesDirectory() {
    if (auto cacheHome = absoluteFromEnvironment("XDG_CACHE_HOME")) return *cacheHome;
    return homeDirectoryForCurrentUser() / ".cache";
}

fs::path FileManager::configurationDirectory() {
    if (auto configHome = absoluteFromEnvironment("XDG_CONFIG_HOME")) return *configHome;
    return homeDirectoryForCurrentUser() / ".config";
}

bool FileManager::fileExists(const fs::path& path, bool* isDirectory) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    const bool exists = !ec && fs::exists(status);
    if (isDirectory != nullptr) *isDirectory = exists && fs::is_directory(status);
    return exists;
}

std::optional<std::uint64_t> FileManager::fileSize(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const auto size = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    return size;
}

void FileManager::createDirectory(const fs::path& path, bool withIntermediateDirectories) {
    std::error_code ec;
    if (fs::exists(path, ec) && !fs::is_directory(path, ec)) {
        throw CocoaError::make(CocoaError::fileWriteFileExists,
                               "Could not create the folder " + path.string() + ": a file is in the way");
    }
    if (withIntermediateDirectories) {
        fs::create_directories(path, ec);
    } else {
        fs::create_directory(path, ec);
    }
    if (ec) throw CocoaError::fromSystemError(ec, "Could not create the folder " + path.string(), true);
}

void FileManager::removeItem(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) {
        throw CocoaError::make(CocoaError::fileNoSuchFile, "Could not remove " + path.string() + ": nothing is there");
    }
    fs::remove_all(path, ec);
    if (ec) throw CocoaError::fromSystemError(ec, "Could not remove " + path.string(), true);
}

void FileManager::moveItem(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) throw CocoaError::fromSystemError(ec, "Could not move " + from.string() + " to " + to.string(), true);
}

fs::path FileManager::moveAside(const fs::path& path) {
    const std::string base = path.string() + ".corrupt-" + timeStampForFileName();
    for (int n = 0; n < 1000; ++n) {
        const fs::path candidate = n == 0 ? base : base + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) return candidate;
        if (errno != EEXIST) {
            throw CocoaError::fromSystemError(std::error_code(errno, std::generic_category()),
                                              "Could not move " + path.string() + " aside", true);
        }
    }
    throw CocoaError::make(CocoaError::fileWriteFileExists,
                           "Could not move " + path.string() + " aside: every name for it is taken");
}

void FileManager::copyItem(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec))) {
        throw CocoaError::make(CocoaError::fileWriteFileExists,
                               "Could not copy " + from.string() + " to " + to.string() + ": the destination exists");
    }
    fs::copy(from, to, fs::copy_options::recursive, ec);
    if (ec) throw CocoaError::fromSystemError(ec, "Could not copy " + from.string() + " to " + to.string(), true);
}

std::vector<std::string> FileManager::contentsOfDirectory(const fs::path& path) {
    std::error_code ec;
    std::vector<std::string> names;
    fs::directory_iterator it(path, ec), end;
    if (ec) throw CocoaError::fromSystemError(ec, "Could not list the folder " + path.string(), false);
    for (; it != end; it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    if (ec) throw CocoaError::fromSystemError(ec, "Could not list the folder " + path.string(), false);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace platform
