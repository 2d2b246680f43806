#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace rarivoredu::KokoroSynthesizer {

// Chunks are joined by a cross-fade of at most 192 samples (8 ms), or after a pause.
constexpr std::size_t maxCrossfadeSamples = 192;

// Appends a chunk's samples to the audio so far. The first chunk (`first`) is appended whole.
// After a chunk with a pause of at least 1 ms, that many milliseconds of silence come first.
// Otherwise the last f = min(output, chunk, 192) samples fade out while the chunk's first f fade
// in (linear ramps from 0 to 1 inclusive), and the rest of the chunk follows.
void appendChunkAudio(std::vector<float>& output, std::span<const float> chunk, bool first, int previousPauseMs);

// The largest magnitude of the samples; 0 when there are none.
float peakMagnitude(std::span<const float> samples) noexcept;
// Divides every sample by the divisor.
void divideSamples(std::span<float> samples, float divisor) noexcept;

}  // namespace rarivoredu::KokoroSynthesizer
