#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <string>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// A keyed pool of reusable aligned buffers for one engine. Errors are DiarizerErrors.
// The same pooled array goes to every caller of a key: callers of one key must not use it at once.
class ANEMemoryOptimizer {
public:
    using Shape = platform::MLMultiArray::Shape;

    static constexpr std::size_t alignment = 64;
    static constexpr std::int64_t tileSize = 16;

    ANEMemoryOptimizer() = default;

    // The pooled array for the key when its shape and type match; otherwise a new zeroed aligned
    // buffer that replaces the entry. A failed creation leaves the pool as it was.
    platform::MLMultiArrayPtr getPooledBuffer(const std::string& key, const Shape& shape,
                                              platform::MLMultiArrayDataType type);
    platform::MLMultiArrayPtr createAlignedBuffer(const Shape& shape, platform::MLMultiArrayDataType type);
    platform::MLMultiArrayPtr createZeroCopyView(const platform::MLMultiArrayPtr& source, const Shape& shape,
                                                 std::int64_t offset);
    // Copies min(destination count − offset, source size) floats into a float32 destination from
    // logical element `offset` on, row by row through the destination's strides. Other
    // destination types are left untouched, as is everything when offset exceeds the count.
    void optimizedCopy(std::span<const float> source, platform::MLMultiArray& destination, std::int64_t offset);
    void clearBufferPool();
    static void prefetchToNeuralEngine(const platform::MLMultiArray& array) noexcept;

    std::size_t pooledBufferCount() const;

private:
    mutable std::mutex bufferLock_;
    std::map<std::string, platform::MLMultiArrayPtr> bufferPool_;
};

}  // namespace rarivoredu
