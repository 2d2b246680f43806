#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace parloquin {

// How much the speech models take on disk, as the about card and the ready notification say it.
struct ModelStorageSize {
    // The bytes of the regular files below `folder`, symbolic links not followed; 0 when it is
    // missing. Entries that cannot be read are skipped.
    static std::uint64_t measure(const std::filesystem::path& folder);
    // In decimal units with a German decimal comma, whatever the locale: "0 MB", "470 MB",
    // "2,5 GB".
    static std::string text(std::uint64_t bytes);
};

}  // namespace parloquin
