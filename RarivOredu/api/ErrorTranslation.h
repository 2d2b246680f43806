#pragma once

#include <filesystem>
#include <string>

#include "rarivoredu/Error.h"

namespace rarivoredu::api {

// Turns the library's own failures into the public Error at the edge of the public API.
struct ErrorTranslation {
    ErrorTranslation() = delete;

    // The exception being handled as an Error: an Error stays as it is, anything else becomes
    // Error failed with `context` before its description ("Could not load the models: …").
    [[noreturn]] static void rethrow(const std::string& context);
    // Throws Error fileNotFound when the file is missing or a folder.
    static void requireFile(const std::filesystem::path& file);
};

}  // namespace rarivoredu::api
