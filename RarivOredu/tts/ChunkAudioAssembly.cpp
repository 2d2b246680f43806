#include "RarivOredu/tts/ChunkAudioAssembly.h"

#include <algorithm>
#include <cmath>

#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroSynthesizer {

void JoinedAudio::push(std::span<const float> piece) {
    if (piece.empty()) return;
    pieces_.push_back(piece);
    count_ += piece.size();
}

void JoinedAudio::takeTail(std::size_t count, std::vector<float>& tail) {
    tail.assign(count, 0.0f);
    std::size_t missing = count;
    while (missing > 0) {
        std::span<const float>& last = pieces_.back();
        const std::size_t taken = std::min(missing, last.size());
        std::copy(last.end() - static_cast<std::ptrdiff_t>(taken), last.end(),
                  tail.begin() + static_cast<std::ptrdiff_t>(missing - taken));
        missing -= taken;
        count_ -= taken;
        if (taken == last.size()) {
            pieces_.pop_back();
        } else {
            last = last.first(last.size() - taken);
        }
    }
}

void JoinedAudio::append(std::span<const float> chunk, bool first, int previousPauseMs) {
    if (first) {
        push(chunk);
        return;
    }
    if (previousPauseMs >= 1) {
        const auto silence = static_cast<std::size_t>(static_cast<double>(previousPauseMs) *
                                                      (TtsConstants::audioSampleRate / 1000.0));
        push(held_.emplace_back(silence, 0.0f));
        push(chunk);
        return;
    }
    const std::size_t fade = std::min({count_, chunk.size(), maxCrossfadeSamples});
    if (fade > 0) {
        std::vector<float>& seam = held_.emplace_back();
        takeTail(fade, seam);
        const float step = fade == 1 ? 0.0f : 1.0f / static_cast<float>(fade - 1);
        for (std::size_t k = 0; k < fade; ++k) {
            const float fadeIn = fade == 1 ? 1.0f : static_cast<float>(k) * step;
            seam[k] = seam[k] * (1.0f - fadeIn) + chunk[k] * fadeIn;
        }
        push(seam);
    }
    push(chunk.subspan(fade));
}

float JoinedAudio::peakMagnitude() const noexcept {
    float peak = 0.0f;
    for (const auto piece : pieces_) peak = std::max(peak, KokoroSynthesizer::peakMagnitude(piece));
    return peak;
}

std::vector<float> JoinedAudio::samples() const {
    std::vector<float> joined;
    joined.reserve(count_);
    for (const auto piece : pieces_) joined.insert(joined.end(), piece.begin(), piece.end());
    return joined;
}

float peakMagnitude(std::span<const float> samples) noexcept {
    float lanePeaks[sampleLanes] = {};
    std::size_t i = 0;
    for (; i + sampleLanes <= samples.size(); i += sampleLanes) {
        for (std::size_t l = 0; l < sampleLanes; ++l) lanePeaks[l] = std::max(lanePeaks[l], std::fabs(samples[i + l]));
    }
    float peak = *std::max_element(lanePeaks, lanePeaks + sampleLanes);
    for (; i < samples.size(); ++i) peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

void divideSamples(std::span<float> samples, float divisor) noexcept {
    std::size_t i = 0;
    for (; i + sampleLanes <= samples.size(); i += sampleLanes) {
        for (std::size_t l = 0; l < sampleLanes; ++l) samples[i + l] /= divisor;
    }
    for (; i < samples.size(); ++i) samples[i] /= divisor;
}

}  // namespace rarivoredu::KokoroSynthesizer
