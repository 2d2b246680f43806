#include "RarivOredu/vad/VadSampleCount.h"

#include <cmath>
#include <limits>

namespace rarivoredu {

namespace {
constexpr auto maxCount = std::numeric_limits<std::int64_t>::max();
constexpr auto minCount = std::numeric_limits<std::int64_t>::min();
}  // namespace

std::int64_t VadSampleCount::truncated(double value) noexcept {
    if (std::isnan(value)) return 0;
    // A time made from a sample position (n / 16000) can come back a hair below n when
    // multiplied again; within a few units of the last place a value is taken as the whole
    // number it stands for, so that truncation does not lose that sample.
    const double nearest = std::round(value);
    if (std::abs(value - nearest) <= 4 * std::abs(std::nextafter(value, INFINITY) - value)) value = nearest;
    // 2^63 is exactly representable; every double below it converts.
    if (value >= 9223372036854775808.0) return maxCount;
    if (value <= -9223372036854775808.0) return minCount;
    return static_cast<std::int64_t>(value);
}

std::int64_t VadSampleCount::add(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? maxCount : minCount;
    return sum;
}

std::int64_t VadSampleCount::subtract(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference)) return b < 0 ? maxCount : minCount;
    return difference;
}

}  // namespace rarivoredu
