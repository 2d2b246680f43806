#pragma once

#include <cstddef>

namespace platform {

// Element types of a multi-array. The raw values mark the kind of number in the upper half
// and its width in bits in the lower half.
enum class MLMultiArrayDataType : int {
    float16 = 0x10000 | 16,
    float32 = 0x10000 | 32,
    float64 = 0x10000 | 64,
    int32 = 0x20000 | 32,
};

// Bytes per element: 2 for float16, 8 for float64, 4 for float32 and int32.
std::size_t elementSize(MLMultiArrayDataType type) noexcept;
const char* name(MLMultiArrayDataType type) noexcept;
// "float16", "float32", "float64" or "int32"; false for any other text.
bool parseDataType(const char* text, MLMultiArrayDataType& type) noexcept;

}  // namespace platform
