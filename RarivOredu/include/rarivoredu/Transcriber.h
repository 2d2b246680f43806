#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "rarivoredu/ModelVersion.h"
#include "rarivoredu/Progress.h"

namespace rarivoredu::api {

// One recognised token and where it lies in the audio.
struct Token {
    std::string text;  // a token that starts a word begins with a space
    double start = 0;  // seconds from the start of the audio
    double end = 0;
    float confidence = 0;  // 0…1
};

// What batch recognition gives for one recording.
struct Transcript {
    std::string text;
    float confidence = 0;  // 0…1
    double duration = 0;   // seconds of audio
    std::vector<Token> tokens;
};

// Batch speech recognition of whole recordings with token timings. Loading the models takes a
// while; keep one Transcriber for many recordings. Calls block; one recording at a time.
class Transcriber {
public:
    // Loads the models of the version from Models::directory(). Throws Error modelsMissing when
    // they are not installed, failed when they do not load.
    explicit Transcriber(ModelVersion version = ModelVersion::v3);
    ~Transcriber();
    Transcriber(const Transcriber&) = delete;
    Transcriber& operator=(const Transcriber&) = delete;

    ModelVersion version() const noexcept;

    // 16 kHz mono samples (Audio::load). Audio shorter than a second is padded with silence.
    // Long audio is recognised in 15 s windows; the progress tells the share of them done.
    Transcript transcribe(std::span<const float> samples, const ProgressHandler& progress = {});
    Transcript transcribeFile(const std::filesystem::path& file, const ProgressHandler& progress = {});

    // The folder of the version's models.
    static std::filesystem::path modelsFolder(ModelVersion version);
    // Whether the version's models are installed.
    static bool modelsInstalled(ModelVersion version);
    // Downloads the version's models when missing (from the public checkpoint where the hub holds
    // it). Throws Error failed.
    static void fetchModels(ModelVersion version, const ProgressHandler& progress = {});
    // Converts a .nemo checkpoint the user has into the models folder; returns the version it
    // held. Throws Error fileNotFound or failed; a failed import leaves the folder as it was.
    static ModelVersion importModels(const std::filesystem::path& nemoFile, const ProgressHandler& progress = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rarivoredu::api
