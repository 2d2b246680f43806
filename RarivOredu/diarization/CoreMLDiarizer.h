#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "Platform/ml/MLModelConfiguration.h"
#include "RarivOredu/diarization/DiarizerModels.h"

namespace rarivoredu {

// Finds, fetches when needed, and loads the diarizer's two compiled models,
// "pyannote_segmentation.mlmodelc" and "wespeaker_v2.mlmodelc", from the "speaker-diarization-coreml"
// repository. All functions block; the hub client's and the model runtime's failures pass
// through unchanged.
class CoreMLDiarizer {
public:
    CoreMLDiarizer() = delete;

    static const std::set<std::string>& requiredModelNames();
    // Application Support/RarivOredu/Models/speaker-diarization-coreml
    static std::filesystem::path defaultModelsDirectory();
    // Low-precision accumulation allowed; all compute units, or CPU and accelerator when the
    // environment has "CI" (any value).
    static platform::MLModelConfiguration defaultConfiguration();

    // Loads both models from `directory` (the repository's own folder; default
    // defaultModelsDirectory()), fetching the repository first when a model is missing there.
    // downloadDuration is the time the fetch took (0 when nothing was fetched), compilationDuration
    // the rest. Throws DiarizerError::modelDownloadFailed when a model is missing after loading.
    static DiarizerModels downloadModels(const std::optional<std::filesystem::path>& directory = std::nullopt,
                                         const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt);
    static DiarizerModels download(const std::optional<std::filesystem::path>& directory = std::nullopt,
                                   const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt);
    static DiarizerModels downloadIfNeeded(const std::optional<std::filesystem::path>& directory = std::nullopt,
                                           const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt);
    // Loads two compiled model folders the caller has; downloadDuration is 0.
    static DiarizerModels loadLocalModels(const std::filesystem::path& segmentationURL,
                                          const std::filesystem::path& embeddingURL,
                                          const std::optional<platform::MLModelConfiguration>& configuration = std::nullopt);
};

}  // namespace rarivoredu
