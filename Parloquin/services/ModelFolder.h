#pragma once

#include <filesystem>

namespace parloquin {

// Owns where the application looks for the speech models: the speech library's folder
// "RarivOredu" under the user's data folder ($XDG_DATA_HOME, else ~/.local/share), which the
// library downloads into. The page "Sonstiges" shows and opens it and measures what it holds, the
// ready notification says its size, and cache clearing looks in it for temporary files. Only the
// path is formed here; nothing is created or read.
struct ModelFolder {
    static std::filesystem::path path();
};

}  // namespace parloquin
