#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace rarivoredu::AudioWAV {

// A complete 16-bit PCM mono WAV file in memory (44-byte header, then the samples).
// The samples are first scaled so that the loudest reaches full scale; silence stays silence.
// The sample rate is written truncated to a whole number. Whole files stay below 4 GiB.
std::vector<std::uint8_t> data(std::span<const float> samples, double sampleRate);
// The same for samples held in pieces, written one after another as one signal.
std::vector<std::uint8_t> data(std::span<const std::span<const float>> pieces, double sampleRate);

}  // namespace rarivoredu::AudioWAV
