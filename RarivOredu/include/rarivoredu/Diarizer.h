#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rarivoredu/Progress.h"

namespace rarivoredu::api {

// One speaker turn.
struct SpeakerTurn {
    std::string speaker;  // "1", "2" … in the order the speakers first speak
    double start = 0;     // seconds
    double end = 0;
    float quality = 0;    // 0…1, how clearly the voice was heard
};

// Who spoke when in a recording of 16 kHz mono audio.
class Diarizer {
public:
    // At most `maxSpeakers` speakers (none: as many as the voices heard): turns of further voices
    // go to the nearest of the speakers who speak most. Loads the models from Models::directory().
    // Throws Error invalidArgument for a limit below 1, modelsMissing or failed.
    explicit Diarizer(std::optional<int> maxSpeakers = std::nullopt);
    ~Diarizer();
    Diarizer(const Diarizer&) = delete;
    Diarizer& operator=(const Diarizer&) = delete;

    // Turns in time order.
    std::vector<SpeakerTurn> diarize(std::span<const float> samples, const ProgressHandler& progress = {});

    static std::filesystem::path modelsFolder();
    static bool modelsInstalled();
    static void fetchModels(const ProgressHandler& progress = {});
    // Builds the models from the upstream checkpoints the user has: the speaker segmentation
    // network and the speaker embedding network.
    static void importModels(const std::filesystem::path& segmentationCheckpoint,
                             const std::filesystem::path& embeddingCheckpoint);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rarivoredu::api
