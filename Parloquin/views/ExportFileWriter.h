#pragma once

#include <filesystem>
#include <string_view>

namespace parloquin {

// Writes a file the user saves (an export, a transcript, the diagnostics report) as a whole,
// through platform::AtomicFileWriter: a reader, or a crash half-way, finds the old file or the
// new one, never a cut one. A replaced file keeps its permissions; a new one is made as any
// other file of the user's.
struct ExportFileWriter {
    // Throws platform::NSError (Cocoa domain) whose description names the file, its folder and
    // the system's reason; the target is then as it was.
    static void write(const std::filesystem::path& path, std::string_view bytes);
};

}  // namespace parloquin
