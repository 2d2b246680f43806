#include "RarivOredu/tts/ChunkAudioAssembly.h"

#include <algorithm>
#include <cmath>

#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroSynthesizer {

std::span<const float> JoinedAudio::view(const Piece& piece) const noexcept {
    return piece.chunk != nullptr ? std::span<const float>(piece.chunk, piece.size)
                                  : std::span<const float>(held_.data() + piece.start, piece.size);
}

void JoinedAudio::push(const Piece& piece) {
    if (piece.size == 0) return;
    pieces_.push_back(piece);
    count_ += piece.size;
}

void JoinedAudio::takeTail(std::size_t count, std::size_t into) {
    std::size_t missing = count;
    while (missing > 0) {
        Piece& last = pieces_.back();
        const std::size_t taken = std::min(missing, last.size);
        const std::span<const float> source = view(last);
        std::copy(source.end() - static_cast<std::ptrdiff_t>(taken), source.end(),
                  held_.begin() + static_cast<std::ptrdiff_t>(into + missing - taken));
        missing -= taken;
        count_ -= taken;
        if (taken == last.size) {
            pieces_.pop_back();
        } else {
            last.size -= taken;
        }
    }
}

void JoinedAudio::append(std::span<const float> chunk, bool first, int previousPauseMs) {
    if (first) {
        push(Piece{chunk.data(), 0, chunk.size()});
        return;
    }
    const std::size_t start = held_.size();
    if (previousPauseMs >= 1) {
        const auto silence = static_cast<std::size_t>(static_cast<double>(previousPauseMs) *
                                                      (TtsConstants::audioSampleRate / 1000.0));
        held_.resize(start + silence, 0.0f);
        push(Piece{nullptr, start, silence});
        push(Piece{chunk.data(), 0, chunk.size()});
        return;
    }
    const std::size_t fade = std::min({count_, chunk.size(), maxCrossfadeSamples});
    if (fade > 0) {
        held_.resize(start + fade);
        takeTail(fade, start);
        float* seam = held_.data() + start;
        const float step = fade == 1 ? 0.0f : 1.0f / static_cast<float>(fade - 1);
        for (std::size_t k = 0; k < fade; ++k) {
            const float fadeIn = fade == 1 ? 1.0f : static_cast<float>(k) * step;
            seam[k] = seam[k] * (1.0f - fadeIn) + chunk[k] * fadeIn;
        }
        push(Piece{nullptr, start, fade});
    }
    push(Piece{chunk.data() + fade, 0, chunk.size() - fade});
}

std::vector<std::span<const float>> JoinedAudio::pieces() const {
    std::vector<std::span<const float>> views;
    views.reserve(pieces_.size());
    for (const Piece& piece : pieces_) views.push_back(view(piece));
    return views;
}

float JoinedAudio::peakMagnitude() const noexcept {
    float peak = 0.0f;
    for (const Piece& piece : pieces_) peak = std::max(peak, KokoroSynthesizer::peakMagnitude(view(piece)));
    return peak;
}

std::vector<float> JoinedAudio::samples() const {
    std::vector<float> joined;
    joined.reserve(count_);
    for (const Piece& piece : pieces_) {
        const std::span<const float> samples = view(piece);
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
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
