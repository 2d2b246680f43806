#pragma once

#include <cstdint>

#include "Platform/ml/MLMultiArray.h"
#include "Platform/system/NSError.h"

namespace rarivoredu {

// The recogniser's front end to the aligned allocator. Its errors are NSErrors in the domain
// "ANEOptimizer": −1 allocation, −2 a view out of bounds, −3 a float16 conversion of a
// non-float32 array, −4 a float16 conversion that failed.
class ANEOptimizer {
public:
    ANEOptimizer() = delete;
    using Shape = platform::MLMultiArray::Shape;

    static constexpr const char* errorDomain = "ANEOptimizer";
    static constexpr std::size_t alignment = 64;
    static constexpr std::int64_t tileSize = 16;

    enum class ModelType { encoder, decoder, joint };

    // Aligned, padded, not zeroed.
    static platform::MLMultiArrayPtr createAlignedArray(const Shape& shape, platform::MLMultiArrayDataType type);
    static Shape calculateOptimalStrides(const Shape& shape);
    static platform::MLMultiArrayPtr createZeroCopyView(const platform::MLMultiArrayPtr& source, const Shape& shape,
                                                        std::int64_t offset);
    static void prefetchToNeuralEngine(const platform::MLMultiArray& array) noexcept;
    // A new aligned float16 array with the values of a float32 array, row by row through both
    // arrays' strides.
    static platform::MLMultiArrayPtr convertToFloat16(const platform::MLMultiArray& source);

    // The allocator's failure as this front end reports it (code −1).
    static platform::NSError allocationError(const std::exception& error);
};

}  // namespace rarivoredu
