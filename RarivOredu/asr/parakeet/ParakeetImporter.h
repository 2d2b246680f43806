#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

#include "RarivOredu/asr/AsrModelVersion.h"

namespace rarivoredu {

struct ParakeetImportOptions {
    bool int8Encoder = false;
};

class ParakeetImporter {
public:
    // step: "reading", "preprocessor", "encoder", "decoder", "joint", "vocabulary"; fraction 0…1 of the import
    using Progress = std::function<void(std::string_view step, double fraction)>;
    static AsrModelVersion importNemo(const std::filesystem::path& nemoFile, const std::filesystem::path& versionFolder,
                                      const ParakeetImportOptions& options = {}, const Progress& progress = {});
    static std::uint64_t requiredSpace(const std::filesystem::path& nemoFile, const ParakeetImportOptions& options = {});
};

}  // namespace rarivoredu
