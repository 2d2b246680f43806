#include "RarivOredu/tts/ChunkAudioAssembly.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroSynthesizer {

void appendChunkAudio(std::vector<float>& output, std::span<const float> chunk, bool first, int previousPauseMs) {
    if (first) {
        output.insert(output.end(), chunk.begin(), chunk.end());
        return;
    }
    if (previousPauseMs >= 1) {
        const auto silence = static_cast<std::size_t>(static_cast<double>(previousPauseMs) *
                                                      (TtsConstants::audioSampleRate / 1000.0));
        output.insert(output.end(), silence, 0.0f);
        output.insert(output.end(), chunk.begin(), chunk.end());
        return;
    }
    const std::size_t fade = std::min({output.size(), chunk.size(), maxCrossfadeSamples});
    if (fade > 0) {
        float* tail = output.data() + (output.size() - fade);
        const float step = fade == 1 ? 0.0f : 1.0f / static_cast<float>(fade - 1);
        for (std::size_t k = 0; k < fade; ++k) {
            const float fadeIn = fade == 1 ? 1.0f : static_cast<float>(k) * step;
            tail[k] = tail[k] * (1.0f - fadeIn) + chunk[k] * fadeIn;
        }
    }
    output.insert(output.end(), chunk.begin() + static_cast<std::ptrdiff_t>(fade), chunk.end());
}

float peakMagnitude(std::span<const float> samples) noexcept {
    float peak = 0.0f;
    for (const float sample : samples) peak = std::max(peak, std::fabs(sample));
    return peak;
}

void divideSamples(std::span<float> samples, float divisor) noexcept {
    for (float& sample : samples) sample /= divisor;
}

}  // namespace rarivoredu::KokoroSynthesizer
