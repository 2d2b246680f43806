#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

// IEEE 754 half-precision conversions (round to nearest even), through the compiler's _Float16.
inline std::uint16_t floatToHalfBits(float value) noexcept {
    const _Float16 half = static_cast<_Float16>(value);
    std::uint16_t bits;
    std::memcpy(&bits, &half, sizeof bits);
    return bits;
}

inline float halfBitsToFloat(std::uint16_t bits) noexcept {
    _Float16 half;
    std::memcpy(&half, &bits, sizeof bits);
    return static_cast<float>(half);
}

// Converts a planar row of floats to half precision. The loop vectorises (F16C where present).
inline void convertPlanarFToPlanar16F(const float* source, std::uint16_t* destination, std::size_t count) noexcept {
    for (std::size_t i = 0; i < count; ++i) destination[i] = floatToHalfBits(source[i]);
}

}  // namespace platform
