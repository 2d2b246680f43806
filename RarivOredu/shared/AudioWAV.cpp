#include "RarivOredu/shared/AudioWAV.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace rarivoredu::AudioWAV {
namespace {

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putText(std::vector<std::uint8_t>& bytes, const char (&text)[5]) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(text[i]));
}

// Truncated toward zero into a header field; values beyond the field's range stop at its ends.
std::uint32_t headerValue(double value) {
    if (!(value >= 0.0)) return 0;
    if (value >= 4294967296.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(value);
}

// Full scale at 1 and beyond, −1 and below at −full scale; NaN counts as full scale.
std::int16_t quantise(float x) {
    const float clamped = std::max(-1.0f, std::min(1.0f, x));
    return static_cast<std::int16_t>(static_cast<int>(clamped * 32767.0f));
}

// A sample as two bytes, little end first.
void putSample(std::uint8_t* out, std::size_t index, std::int16_t sample) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out + 2 * index, &sample, 2);
    } else {
        const auto value = static_cast<std::uint16_t>(sample);
        out[2 * index] = static_cast<std::uint8_t>(value);
        out[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

// Samples go in blocks of this many, a fixed count the compiler keeps in vector registers.
constexpr std::size_t lanes = 8;

}  // namespace

std::vector<std::uint8_t> data(std::span<const float> samples, double sampleRate) {
    const std::span<const float> pieces[] = {samples};
    return data(pieces, sampleRate);
}

std::vector<std::uint8_t> data(std::span<const std::span<const float>> pieces, double sampleRate) {
    std::size_t count = 0;
    float lanePeaks[lanes] = {};
    float peak = 0.0f;
    for (const auto samples : pieces) {
        count += samples.size();
        std::size_t i = 0;
        for (; i + lanes <= samples.size(); i += lanes) {
            for (std::size_t l = 0; l < lanes; ++l) lanePeaks[l] = std::max(lanePeaks[l], std::fabs(samples[i + l]));
        }
        for (; i < samples.size(); ++i) peak = std::max(peak, std::fabs(samples[i]));  // a NaN never wins
    }
    peak = std::max(peak, *std::max_element(lanePeaks, lanePeaks + lanes));
    // Dividing by 1 changes nothing, so one loop serves both cases.
    const float divisor = peak > 0.0f ? peak : 1.0f;

    const auto dataSize = static_cast<std::uint32_t>(count * 2);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44 + count * 2);

    putText(bytes, "RIFF");
    put32(bytes, dataSize + 36);
    putText(bytes, "WAVE");
    putText(bytes, "fmt ");
    put32(bytes, 16);
    put16(bytes, 1);
    put16(bytes, 1);
    put32(bytes, headerValue(sampleRate));
    put32(bytes, headerValue(sampleRate * 2));
    put16(bytes, 2);
    put16(bytes, 16);
    putText(bytes, "data");
    put32(bytes, dataSize);

    // Samples are converted a block at a time on the stack and appended, one stage at a time over
    // each group of lanes so that every stage runs on whole vectors.
    constexpr std::size_t block = 1024;
    std::uint8_t converted[2 * block];
    for (const auto samples : pieces) {
        for (std::size_t start = 0; start < samples.size(); start += block) {
            const std::size_t n = std::min(block, samples.size() - start);
            const float* in = samples.data() + start;
            std::size_t k = 0;
            for (; k + lanes <= n; k += lanes) {
                float scaled[lanes];
                for (std::size_t l = 0; l < lanes; ++l) scaled[l] = in[k + l] / divisor;
                for (std::size_t l = 0; l < lanes; ++l) scaled[l] = std::min(1.0f, scaled[l]);  // NaN becomes 1
                for (std::size_t l = 0; l < lanes; ++l) scaled[l] = std::max(-1.0f, scaled[l]);
                std::int16_t values[lanes];
                for (std::size_t l = 0; l < lanes; ++l) values[l] = static_cast<std::int16_t>(static_cast<int>(scaled[l] * 32767.0f));
                for (std::size_t l = 0; l < lanes; ++l) putSample(converted, k + l, values[l]);
            }
            for (; k < n; ++k) putSample(converted, k, quantise(in[k] / divisor));
            bytes.insert(bytes.end(), converted, converted + 2 * n);
        }
    }
    return bytes;
}

}  // namespace rarivoredu::AudioWAV
