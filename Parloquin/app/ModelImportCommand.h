#pragma once

#include <string>

namespace parloquin {

// "parloquin --import-model FILE": converts a .nemo checkpoint the user already has into the
// speech library's models folder, for a machine that cannot reach the hub. It needs no display
// and no session, and runs beside a Parloquin that is running: the folder it makes replaces the
// version folder whole, under the folder's lock, and that Parloquin takes it at its next start.
// Ctrl+C stops it and leaves nothing half-made. It writes one line: what it made, or why not.
struct ModelImportCommand {
    // Imports the file (CommandLine reads its name); the exit status: 0 done, 1 failed, 2 no file
    // named.
    static int importFile(const std::string& file);
};

}  // namespace parloquin
