#pragma once

#include <cstdint>

namespace rarivoredu {

// Sample positions and counts of 16 kHz audio. Durations of any size (infinite ones among them)
// become counts without overflow: values beyond the 64-bit range stand at its ends, and sums and
// differences saturate there as well.
struct VadSampleCount {
    static constexpr std::int64_t sampleRate = 16000;

    // Truncated toward zero, after a value within a few units of the last place of a whole number
    // is taken as that number; saturated at the ends of the range; 0 for NaN.
    static std::int64_t truncated(double value) noexcept;
    // seconds × 16000, truncated.
    static std::int64_t fromSeconds(double seconds) noexcept { return truncated(seconds * sampleRate); }

    static std::int64_t add(std::int64_t a, std::int64_t b) noexcept;
    static std::int64_t subtract(std::int64_t a, std::int64_t b) noexcept;
};

}  // namespace rarivoredu
