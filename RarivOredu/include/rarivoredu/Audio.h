#pragma once

#include <filesystem>
#include <span>
#include <vector>

namespace rarivoredu::api {

// Audio as the engines take it: mono float samples in [-1, 1] at 16 kHz.
class Audio {
public:
    static constexpr int sampleRate = 16000;

    Audio() = delete;

    // Reads a file of any format the library decodes (WAV, AIFF, CAF, MP3, M4A/AAC, FLAC, Ogg …)
    // and converts it to 16 kHz mono. Throws Error fileNotFound or unreadableAudio.
    static std::vector<float> load(const std::filesystem::path& file);

    // Writes samples as a 16-bit PCM mono WAV file, scaled so that the loudest reaches full scale
    // (silence stays silence); the file is replaced only once it is whole.
    // Throws Error failed when it cannot be written.
    static void writeWav(const std::filesystem::path& file, std::span<const float> samples, int sampleRate);
};

}  // namespace rarivoredu::api
