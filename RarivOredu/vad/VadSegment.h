#pragma once

#include <cstdint>

namespace rarivoredu {

// A region of speech, in seconds.
struct VadSegment {
    double startTime = 0;
    double endTime = 0;

    double duration() const noexcept { return endTime - startTime; }
    // Time × rate, truncated toward zero (a product within rounding error of a whole number is that
    // number, so the positions of our own segments come back exactly); saturated at the ends of the
    // 64-bit range, 0 for NaN.
    std::int64_t startSample(double sampleRate) const noexcept;
    std::int64_t endSample(double sampleRate) const noexcept;
    std::int64_t sampleCount(double sampleRate) const noexcept;

    bool operator==(const VadSegment&) const = default;
};

}  // namespace rarivoredu
