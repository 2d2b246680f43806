#pragma once

#include <filesystem>
#include <string_view>

namespace parloquin {

// Writes an exported or saved file as a whole: the bytes go to a temporary file beside the
// target, which then replaces it, so that a reader (or a crash half-way) finds the old file or
// the new one, never a cut one. Nothing is written into the target directly, also where the
// folder allows no temporary file.
struct ExportFileWriter {
    // Throws platform::NSError (Cocoa domain) whose description names the file and the system's
    // reason; the target is then as it was.
    static void write(const std::filesystem::path& path, std::string_view bytes);
};

}  // namespace parloquin
