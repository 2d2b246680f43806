#pragma once

#include <filesystem>

namespace rarivoredu {

// Where a caller keeps the two compiled diarizer models.
struct ModelPaths {
    std::filesystem::path segmentationPath;
    std::filesystem::path embeddingPath;
};

}  // namespace rarivoredu
