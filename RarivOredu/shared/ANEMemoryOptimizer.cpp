#include "RarivOredu/shared/ANEMemoryOptimizer.h"

#include <algorithm>
#include <cstring>

#include "RarivOredu/shared/ANEMemoryUtils.h"
#include "RarivOredu/shared/ANEOptimizer.h"
#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

MLMultiArrayPtr ANEMemoryOptimizer::getPooledBuffer(const std::string& key, const Shape& shape,
                                                    MLMultiArrayDataType type) {
    std::lock_guard lock(bufferLock_);
    const auto it = bufferPool_.find(key);
    if (it != bufferPool_.end() && it->second->shape() == shape && it->second->dataType() == type) {
        return it->second;
    }
    auto buffer = createAlignedBuffer(shape, type);
    bufferPool_[key] = buffer;
    return buffer;
}

MLMultiArrayPtr ANEMemoryOptimizer::createAlignedBuffer(const Shape& shape, MLMultiArrayDataType type) {
    try {
        return ANEMemoryUtils::createAlignedArray(shape, type, true);
    } catch (const std::exception&) {
        throw DiarizerError::memoryAllocationFailed();
    }
}

MLMultiArrayPtr ANEMemoryOptimizer::createZeroCopyView(const MLMultiArrayPtr& source, const Shape& shape,
                                                       std::int64_t offset) {
    try {
        return ANEMemoryUtils::createZeroCopyView(source, offset, shape);
    } catch (const ANEMemoryError&) {
        throw DiarizerError::invalidArrayBounds();
    }
}

void ANEMemoryOptimizer::optimizedCopy(std::span<const float> source, MLMultiArray& destination, std::int64_t offset) {
    if (destination.dataType() != MLMultiArrayDataType::float32) return;
    if (offset < 0 || offset > destination.count()) return;
    const std::int64_t n = std::min<std::int64_t>(destination.count() - offset, static_cast<std::int64_t>(source.size()));
    if (n <= 0) return;
    float* data = destination.data<float>();
    if (destination.isContiguous()) {
        std::memcpy(data + offset, source.data(), static_cast<std::size_t>(n) * sizeof(float));
        return;
    }
    // Padded rows: copy each stretch that lies within one row with one move.
    const std::int64_t inner = destination.shape().back();
    const auto innerStride = destination.strides().back();
    std::int64_t copied = 0;
    while (copied < n) {
        const std::int64_t index = offset + copied;
        const std::int64_t inRow = std::min(inner - index % inner, n - copied);
        float* to = data + destination.offsetOfLinearIndex(index);
        if (innerStride == 1) {
            std::memcpy(to, source.data() + copied, static_cast<std::size_t>(inRow) * sizeof(float));
        } else {
            for (std::int64_t i = 0; i < inRow; ++i) to[i * innerStride] = source[static_cast<std::size_t>(copied + i)];
        }
        copied += inRow;
    }
}

void ANEMemoryOptimizer::clearBufferPool() {
    std::lock_guard lock(bufferLock_);
    bufferPool_.clear();
}

void ANEMemoryOptimizer::prefetchToNeuralEngine(const MLMultiArray& array) noexcept {
    ANEOptimizer::prefetchToNeuralEngine(array);
}

std::size_t ANEMemoryOptimizer::pooledBufferCount() const {
    std::lock_guard lock(bufferLock_);
    return bufferPool_.size();
}

}  // namespace rarivoredu
