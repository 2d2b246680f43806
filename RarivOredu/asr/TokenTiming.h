#pragma once

#include <cstdint>
#include <string>

namespace rarivoredu {

// One recognised token with its place in the audio.
struct TokenTiming {
    // The vocabulary text with the word-start mark replaced by a space; not trimmed.
    std::string token;
    std::int64_t tokenId = 0;
    double startTime = 0;  // seconds from the start of the audio
    double endTime = 0;    // at least startTime + 0.001
    float confidence = 0;  // in [0, 1]

    bool operator==(const TokenTiming&) const = default;
};

}  // namespace rarivoredu
