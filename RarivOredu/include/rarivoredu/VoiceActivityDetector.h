#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "rarivoredu/Progress.h"

namespace rarivoredu::api {

// A region of speech, in seconds from the start of the audio.
struct SpeechSegment {
    double start = 0;
    double end = 0;
};

// Voice activity detection: a speech probability for every 256 ms of 16 kHz mono audio, and the
// regions of speech a recording holds.
class VoiceActivityDetector {
public:
    static constexpr double chunkSeconds = 0.256;

    // Loads the model from Models::directory(). Throws Error modelsMissing or failed.
    VoiceActivityDetector();
    ~VoiceActivityDetector();
    VoiceActivityDetector(const VoiceActivityDetector&) = delete;
    VoiceActivityDetector& operator=(const VoiceActivityDetector&) = delete;

    // One probability per 4096 samples (the last chunk holds the remainder).
    std::vector<float> probabilities(std::span<const float> samples, const ProgressHandler& progress = {});
    std::vector<SpeechSegment> segments(std::span<const float> samples, const ProgressHandler& progress = {});

    static std::filesystem::path modelsFolder();
    static bool modelsInstalled();
    static void fetchModels(const ProgressHandler& progress = {});
    // Builds the model from an ONNX export of Silero VAD the user has.
    static void importModels(const std::filesystem::path& onnxFile);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rarivoredu::api
