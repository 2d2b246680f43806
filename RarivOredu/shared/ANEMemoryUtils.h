#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// Errors of the aligned allocator; what() is the case name.
class ANEMemoryError : public std::exception {
public:
    enum class Kind { allocationFailed, invalidShape, unsupportedDataType };
    explicit ANEMemoryError(Kind kind) : kind_(kind) {}
    Kind kind() const noexcept { return kind_; }
    const char* what() const noexcept override;

private:
    Kind kind_;
};

// Multi-arrays laid out the way accelerators like them: data on 64-byte boundaries and every
// innermost row padded to a whole number of 16-element tiles.
class ANEMemoryUtils {
public:
    ANEMemoryUtils() = delete;
    using Shape = platform::MLMultiArray::Shape;

    static constexpr std::size_t alignment = 64;
    static constexpr std::int64_t tileSize = 16;

    static std::size_t elementSize(platform::MLMultiArrayDataType type) noexcept;
    static bool isAligned(const platform::MLMultiArray& array) noexcept;
    // Innermost stride 1; the innermost dimension rounded up to a multiple of 16 stands in for it
    // when the outer strides are multiplied out. [1, 3, 50] gives [192, 64, 1].
    static Shape calculateOptimalStrides(const Shape& shape);
    // Bytes the allocator takes for a shape: padded element count × element size, rounded up to
    // a multiple of 64, at least 64. Throws allocationFailed when the size overflows.
    static std::size_t allocationSize(const Shape& shape, platform::MLMultiArrayDataType type);

    // A new array over 64-byte-aligned memory with padded strides, freed with the array.
    static platform::MLMultiArrayPtr createAlignedArray(const Shape& shape, platform::MLMultiArrayDataType type,
                                                        bool zeroClear);
    // An array over the source's memory starting `offset` elements in. The view keeps the source
    // alive. Throws invalidShape when the view, laid out with its strides (the given ones, or
    // padded strides), would reach past the source's memory or past its logical elements, or
    // into the padding of the source's rows.
    static platform::MLMultiArrayPtr createZeroCopyView(const platform::MLMultiArrayPtr& source, std::int64_t offset,
                                                        const Shape& shape,
                                                        const std::optional<Shape>& strides = std::nullopt);
    static void prefetch(const platform::MLMultiArray& array) noexcept;
};

}  // namespace rarivoredu
