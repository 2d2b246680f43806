#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "rarivoredu/Progress.h"

namespace rarivoredu::api {

// Synthesised speech: mono float samples.
struct Speech {
    std::vector<float> samples;
    int sampleRate = 24000;
};

// Text to speech. Voices are ids such as "af_heart" (voices()); the speed is a factor, 1 normal.
class Synthesizer {
public:
    // Loads the models from Models::synthesisDirectory(). Throws Error modelsMissing or failed.
    Synthesizer();
    ~Synthesizer();
    Synthesizer(const Synthesizer&) = delete;
    Synthesizer& operator=(const Synthesizer&) = delete;

    // Throws Error invalidArgument for empty text, an unknown voice or a speed that is not a
    // positive number; failed when synthesis fails (a voice not yet here is fetched first).
    Speech speak(const std::string& text, const std::string& voice = "af_heart", float speed = 1.0f);
    // The same as a 16-bit WAV file, replaced only once it is whole.
    void speakToFile(const std::string& text, const std::filesystem::path& file, const std::string& voice = "af_heart",
                     float speed = 1.0f);

    static const std::vector<std::string>& voices();
    static std::filesystem::path modelsFolder();
    static bool modelsInstalled();
    static void fetchModels(const ProgressHandler& progress = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rarivoredu::api
