#pragma once

#include <optional>
#include <string>
#include <vector>

namespace parloquin {

// "parloquin --import-model FILE": converts a .nemo checkpoint the user already has into the
// speech library's models folder, for a machine that cannot reach the hub. It needs no display
// and no session, and runs beside a Parloquin that is running: the folder it makes replaces the
// version folder whole, under the folder's lock, and that Parloquin takes it at its next start.
// Ctrl+C stops it and leaves nothing half-made. It writes one line: what it made, or why not.
struct ModelImportCommand {
    // The exit status when the arguments ask for an import (0 done, 1 failed, 2 misused), after
    // running it; nothing when they do not.
    static std::optional<int> run(const std::vector<std::string>& arguments);
};

}  // namespace parloquin
