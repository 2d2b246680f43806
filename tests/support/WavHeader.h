#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// The 44-byte header of a 16-bit PCM WAV file with `frames` frames of `channels` channels.
inline std::string wavHeader(std::uint16_t channels, std::uint32_t rate, std::uint32_t frames) {
    std::string h;
    const auto put = [&h](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) h.push_back(static_cast<char>(value >> (8 * i)));
    };
    const std::uint32_t dataSize = frames * channels * 2;
    h += "RIFF";
    put(dataSize + 36, 4);
    h += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    h += "data";
    put(dataSize, 4);
    return h;
}

}  // namespace testsupport
