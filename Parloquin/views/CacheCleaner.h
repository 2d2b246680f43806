#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace parloquin {

// Clears the application's cache folder and the temporary files of the speech library's folder,
// never what the speech library needs: a folder that holds a model bundle, a vocabulary or a lock
// file anywhere inside it stays whole, and so does such an entry itself.
//
// 1. Every entry of the application cache folder goes; a removal that fails ends this step.
// 2. Of the library folder's own entries, those with a temporary name go (see isTemporaryName).
//    A failure here ends the run. What was removed before a failure stays removed.
class CacheCleaner {
public:
    CacheCleaner(std::filesystem::path applicationCache, std::filesystem::path libraryFolder);
    // The user's "Parloquin" cache folder and the speech library's folder under the data folder.
    static CacheCleaner standard();

    // Runs both steps; returns what it removed, in order. With `failure`, the entry whose removal
    // failed first goes there.
    std::vector<std::filesystem::path> clearCache(std::optional<std::filesystem::path>* failure = nullptr) const;

    // Whether a name marks temporary data, judged on whole name parts (split at anything but
    // letters and digits, and where a lower-case letter meets a capital), without regard to case:
    // it ends in ".tmp", ".partial" or ".log", or one of its parts is "cache" or "temp".
    // "template.txt" and "models.json" are not temporary; "x.PARTIAL" and "ModelCache" are.
    static bool isTemporaryName(const std::string& name);
    // What the speech library needs and cache clearing never touches: a model bundle (".mlmodelc",
    // ".mlpackage"), a vocabulary (a name part "vocab" or "vocabulary") or a lock file (".lock").
    static bool isProtectedName(const std::string& name);
    // Whether the entry is protected or, being a folder, holds a protected entry at any depth.
    // Links are not followed; a folder that cannot be read counts as holding one.
    static bool holdsProtectedData(const std::filesystem::path& entry);

private:
    std::filesystem::path applicationCache_;
    std::filesystem::path libraryFolder_;
};

}  // namespace parloquin
