#include "RarivOredu/shared/ANEMemoryUtils.h"

#include <cstdlib>
#include <cstring>

namespace rarivoredu {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

const char* ANEMemoryError::what() const noexcept {
    switch (kind_) {
        case Kind::allocationFailed: return "allocationFailed";
        case Kind::invalidShape: return "invalidShape";
        case Kind::unsupportedDataType: return "unsupportedDataType";
    }
    return "allocationFailed";
}

std::size_t ANEMemoryUtils::elementSize(MLMultiArrayDataType type) noexcept { return platform::elementSize(type); }

bool ANEMemoryUtils::isAligned(const MLMultiArray& array) noexcept {
    return reinterpret_cast<std::uintptr_t>(array.dataPointer()) % alignment == 0;
}

ANEMemoryUtils::Shape ANEMemoryUtils::calculateOptimalStrides(const Shape& shape) {
    Shape strides(shape.size());
    if (shape.empty()) return strides;
    // Sizes too large to address saturate; the allocator then refuses them.
    const std::int64_t last = shape.back();
    std::int64_t stride = last <= 0 ? last
                          : last > INT64_MAX - tileSize ? INT64_MAX
                                                        : ((last + tileSize - 1) / tileSize) * tileSize;
    strides.back() = 1;
    for (std::size_t i = shape.size() - 1; i-- > 0;) {
        strides[i] = stride;
        if (__builtin_mul_overflow(stride, shape[i], &stride)) stride = INT64_MAX;
    }
    return strides;
}

std::size_t ANEMemoryUtils::allocationSize(const Shape& shape, MLMultiArrayDataType type) {
    const Shape strides = calculateOptimalStrides(shape);
    std::int64_t count = 0;
    if (!shape.empty() && __builtin_mul_overflow(strides[0], shape[0], &count)) {
        throw ANEMemoryError(ANEMemoryError::Kind::allocationFailed);
    }
    std::int64_t bytes = 0;
    if (__builtin_mul_overflow(count, static_cast<std::int64_t>(elementSize(type)), &bytes) ||
        bytes > INT64_MAX - static_cast<std::int64_t>(alignment)) {
        throw ANEMemoryError(ANEMemoryError::Kind::allocationFailed);
    }
    if (bytes <= 0) return alignment;
    return static_cast<std::size_t>((bytes + alignment - 1) / alignment * alignment);
}

MLMultiArrayPtr ANEMemoryUtils::createAlignedArray(const Shape& shape, MLMultiArrayDataType type, bool zeroClear) {
    const std::size_t bytes = allocationSize(shape, type);
    void* memory = nullptr;
    if (posix_memalign(&memory, alignment, bytes) != 0 || memory == nullptr) {
        throw ANEMemoryError(ANEMemoryError::Kind::allocationFailed);
    }
    if (zeroClear) std::memset(memory, 0, bytes);
    return MLMultiArray::wrap(memory, shape, type, calculateOptimalStrides(shape), [](void* p) { std::free(p); }, {},
                              bytes);
}

MLMultiArrayPtr ANEMemoryUtils::createZeroCopyView(const MLMultiArrayPtr& source, std::int64_t offset,
                                                   const Shape& shape, const std::optional<Shape>& strides) {
    std::int64_t viewCount = 1;
    for (auto d : shape) viewCount *= d;
    const auto size = static_cast<std::int64_t>(elementSize(source->dataType()));
    if (offset < 0 || (viewCount + offset) * size > source->count() * size) {
        throw ANEMemoryError(ANEMemoryError::Kind::invalidShape);
    }
    const Shape viewStrides = strides ? *strides : calculateOptimalStrides(shape);
    if (viewStrides.size() != shape.size()) throw ANEMemoryError(ANEMemoryError::Kind::invalidShape);
    // The view's rows may be padded: what it can address must lie inside the source's memory.
    std::int64_t extent = 0;
    bool empty = false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] < 0 || viewStrides[i] < 0) throw ANEMemoryError(ANEMemoryError::Kind::invalidShape);
        if (shape[i] == 0) empty = true;
        else extent += (shape[i] - 1) * viewStrides[i];
    }
    if (!empty) extent += 1;
    const std::size_t needed = static_cast<std::size_t>((offset + extent) * size);
    if (needed > source->capacityBytes()) throw ANEMemoryError(ANEMemoryError::Kind::invalidShape);
    void* data = static_cast<std::uint8_t*>(source->dataPointer()) + offset * size;
    return MLMultiArray::wrap(data, shape, source->dataType(), viewStrides, {}, source,
                              source->capacityBytes() - static_cast<std::size_t>(offset * size));
}

void ANEMemoryUtils::prefetch(const MLMultiArray& array) noexcept {
    [[maybe_unused]] volatile const void* data = array.dataPointer();
    [[maybe_unused]] volatile auto type = array.dataType();
    [[maybe_unused]] volatile auto count = array.count();
}

}  // namespace rarivoredu
