#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "RarivOredu/shared/AudioWAV.h"

namespace rarivoredu {
namespace {

// The 44-byte header for a mono 16-bit file, with the rate and byte rate as given.
std::vector<std::uint8_t> header(std::uint32_t dataSize, std::uint32_t rate, std::uint32_t byteRate) {
    std::vector<std::uint8_t> bytes;
    auto le32 = [&](std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    };
    auto text = [&](const char* t) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(t[i]));
    };
    text("RIFF");
    le32(dataSize + 36);
    text("WAVE");
    text("fmt ");
    for (std::uint8_t b : {16, 0, 0, 0, 1, 0, 1, 0}) bytes.push_back(b);
    le32(rate);
    le32(byteRate);
    for (std::uint8_t b : {2, 0, 16, 0}) bytes.push_back(b);
    text("data");
    le32(dataSize);
    return bytes;
}

std::vector<std::uint8_t> withSamples(std::vector<std::uint8_t> bytes, const std::vector<std::int16_t>& samples) {
    for (std::int16_t s : samples) {
        bytes.push_back(static_cast<std::uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return bytes;
}

TEST(AudioWAV, WritesTheExactBytes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<float> samples;
        double rate;
        std::vector<std::uint8_t> expected;
    };
    const Case cases[] = {
        {"no samples", {}, 16000.0, header(0, 16000, 32000)},
        {"loudest sample scaled to full scale", {0.25f, -0.5f}, 24000.0,
         withSamples(header(4, 24000, 48000), {16383, -32767})},
        {"silence stays silence", {0.0f, 0.0f, 0.0f}, 16000.0, withSamples(header(6, 16000, 32000), {0, 0, 0})},
        {"not-a-number is written as full scale", {nan, 2.0f, -4.0f}, 16000.0,
         withSamples(header(6, 16000, 32000), {32767, 16383, -32767})},
        {"rate and byte rate each truncated", {1.0f}, 22050.9, withSamples(header(2, 22050, 44101), {32767})},
        {"blocks of samples and a tail follow the same rules", {0.5f, nan, -2.0f, 1.0f, 0.0f, -1.0f, 0.25f, 2.0f, nan, -0.5f},
         16000.0, withSamples(header(20, 16000, 32000), {8191, 32767, -32767, 16383, 0, -16383, 4095, 32767, 32767, -8191})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AudioWAV::data(c.samples, c.rate), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace rarivoredu
