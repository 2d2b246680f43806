#include "RarivOredu/shared/AudioWAV.h"

#include <algorithm>
#include <cmath>

namespace rarivoredu::AudioWAV {
namespace {

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put16(std::vector<std::uint8_t>& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putText(std::vector<std::uint8_t>& bytes, const char (&text)[5]) { bytes.insert(bytes.end(), text, text + 4); }

// Truncated toward zero into a header field; values beyond the field's range stop at its ends.
std::uint32_t headerValue(double value) {
    if (!(value >= 0.0)) return 0;
    if (value >= 4294967296.0) return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(value);
}

std::int16_t quantise(float x) {
    const float v = x < 1.0f ? std::max(x, -1.0f) * 32767.0f : 32767.0f;
    return static_cast<std::int16_t>(v);
}

}  // namespace

std::vector<std::uint8_t> data(std::span<const float> samples, double sampleRate) {
    float peak = 0.0f;
    for (float x : samples) {
        const float magnitude = std::fabs(x);
        if (magnitude > peak) peak = magnitude;
    }
    const bool normalise = !samples.empty() && peak > 0.0f;

    const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44 + std::size_t{dataSize});

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

    for (float x : samples) {
        put16(bytes, static_cast<std::uint16_t>(quantise(normalise ? x / peak : x)));
    }
    return bytes;
}

}  // namespace rarivoredu::AudioWAV
