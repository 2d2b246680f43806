#include "Parloquin/views/CacheCleaner.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "Parloquin/services/ModelFolder.h"
#include "Platform/system/FileManager.h"
#include "RarivOredu/shared/ModelStore.h"

namespace parloquin {
namespace fs = std::filesystem;
namespace {

bool isLetterOrDigit(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// "x.PARTIAL" → x, partial; "ModelCache_v2" → model, cache, v2.
std::vector<std::string> nameParts(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (!isLetterOrDigit(c)) {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
            continue;
        }
        if (i > 0 && std::isupper(static_cast<unsigned char>(c)) && std::islower(static_cast<unsigned char>(name[i - 1])) &&
            !part.empty()) {
            parts.push_back(std::move(part));
            part.clear();
        }
        part += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool hasPart(const std::vector<std::string>& parts, std::initializer_list<const char*> wanted) {
    return std::any_of(parts.begin(), parts.end(), [&](const std::string& part) {
        return std::any_of(wanted.begin(), wanted.end(), [&](const char* word) { return part == word; });
    });
}

}  // namespace

CacheCleaner::CacheCleaner(fs::path applicationCache, fs::path libraryFolder)
    : applicationCache_(std::move(applicationCache)), libraryFolder_(std::move(libraryFolder)) {}

CacheCleaner CacheCleaner::standard() {
    return CacheCleaner(platform::FileManager::cachesDirectory() / "Parloquin",
                        ModelFolder::path());
}

bool CacheCleaner::isTemporaryName(const std::string& name) {
    const std::string lower = lowercased(name);
    if (endsWith(lower, ".tmp") || endsWith(lower, ".partial") || endsWith(lower, ".log")) return true;
    return hasPart(nameParts(name), {"cache", "temp"});
}

bool CacheCleaner::isProtectedName(const std::string& name) {
    const std::string lower = lowercased(name);
    if (endsWith(lower, ".mlmodelc") || endsWith(lower, ".mlpackage") || endsWith(lower, ".lock")) return true;
    return hasPart(nameParts(name), {"vocab", "vocabulary"});
}

bool CacheCleaner::holdsProtectedData(const fs::path& entry) {
    if (isProtectedName(entry.filename().string())) return true;
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(entry, error))) return false;
    fs::recursive_directory_iterator it(entry, fs::directory_options::none, error);
    if (error) return true;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(error)) {
        if (error) return true;
        if (isProtectedName(it->path().filename().string())) return true;
    }
    return static_cast<bool>(error);
}

std::vector<fs::path> CacheCleaner::clearCache(std::optional<fs::path>* failure) const {
    std::vector<fs::path> removed;
    std::error_code error;
    auto failed = [failure](const fs::path& entry) {
        if (failure && !*failure) *failure = entry;
    };

    // 1. The application's own cache: everything in it.
    if (fs::exists(fs::symlink_status(applicationCache_, error))) {
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(applicationCache_, error), end; !error && it != end; it.increment(error))
            entries.push_back(it->path());
        if (!error) {
            std::sort(entries.begin(), entries.end());
            for (const fs::path& entry : entries) {
                fs::remove_all(entry, error);
                if (error) {
                    failed(entry);
                    break;
                }
                removed.push_back(entry);
            }
        }
    }

    // 2. The speech library's temporary files, never what it needs.
    error.clear();
    if (!fs::exists(fs::symlink_status(libraryFolder_, error))) return removed;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(libraryFolder_, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    if (error) return removed;
    std::sort(entries.begin(), entries.end());
    for (const fs::path& entry : entries) {
        if (!isTemporaryName(entry.filename().string()) || holdsProtectedData(entry)) continue;
        fs::remove_all(entry, error);
        if (error) {
            failed(entry);
            return removed;
        }
        removed.push_back(entry);
    }
    return removed;
}

}  // namespace parloquin
