#include "RarivOredu/shared/ANEMemoryUtils.h"

#include <algorithm>
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

namespace {

// The index along the array's last dimension of the element at `position` (in elements from the
// data pointer), or nothing when that position is row padding or lies past the array's elements.
// The strides are walked from the widest in: each takes its index, which must lie within its
// dimension.
std::optional<std::int64_t> innermostIndex(const MLMultiArray& array, std::int64_t position) {
    if (position < 0) return std::nullopt;
    const auto& shape = array.shape();
    const auto& strides = array.strides();
    std::vector<std::size_t> order(shape.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return strides[a] > strides[b]; });
    std::int64_t innermost = 0;
    for (const std::size_t i : order) {
        if (strides[i] <= 0) continue;
        const std::int64_t index = position / strides[i];
        if (index >= shape[i]) return std::nullopt;
        position -= index * strides[i];
        if (i + 1 == shape.size()) innermost = index;
    }
    if (position != 0) return std::nullopt;
    return innermost;
}

// Whether every element a view of `shape` and `strides` at `offset` addresses is a logical
// element of the source. Where both lay their last dimension out with stride 1, a view row is
// checked as one run that must end within the source row it starts in.
bool addressesOnlyLogicalElements(const MLMultiArray& source, std::int64_t offset, const ANEMemoryUtils::Shape& shape,
                                  const ANEMemoryUtils::Shape& strides) {
    const bool runs = !shape.empty() && strides.back() == 1 && !source.shape().empty() && source.strides().back() == 1;
    const std::int64_t run = runs ? shape.back() : 1;
    const std::size_t outer = runs ? shape.size() - 1 : shape.size();
    std::vector<std::int64_t> index(outer, 0);
    for (;;) {
        std::int64_t start = offset;
        for (std::size_t i = 0; i < outer; ++i) start += index[i] * strides[i];
        const auto column = innermostIndex(source, start);
        if (!column || (runs && *column + run > source.shape().back())) return false;
        std::size_t i = outer;
        while (i > 0 && ++index[i - 1] == shape[i - 1]) index[--i] = 0;
        if (i == 0) return true;
    }
}

}  // namespace

MLMultiArrayPtr ANEMemoryUtils::createZeroCopyView(const MLMultiArrayPtr& source, std::int64_t offset,
                                                   const Shape& shape, const std::optional<Shape>& strides) {
    const auto invalid = [] { return ANEMemoryError(ANEMemoryError::Kind::invalidShape); };
    const auto size = static_cast<std::int64_t>(elementSize(source->dataType()));
    std::int64_t viewCount = 1;
    for (auto d : shape) {
        if (d < 0 || __builtin_mul_overflow(viewCount, d, &viewCount)) throw invalid();
    }
    // Checked without overflow: a huge offset must not wrap round into the source, nor before it.
    std::int64_t end = 0;
    if (offset < 0 || __builtin_add_overflow(offset, viewCount, &end) || end > source->count()) throw invalid();

    const Shape viewStrides = strides ? *strides : calculateOptimalStrides(shape);
    if (viewStrides.size() != shape.size()) throw invalid();
    // The view's rows may be padded: what it can address must lie inside the source's memory.
    std::int64_t extent = 0;
    bool empty = false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (viewStrides[i] < 0) throw invalid();
        if (shape[i] == 0) {
            empty = true;
            continue;
        }
        std::int64_t reach = 0;
        if (__builtin_mul_overflow(shape[i] - 1, viewStrides[i], &reach) ||
            __builtin_add_overflow(extent, reach, &extent)) {
            throw invalid();
        }
    }
    if (!empty) extent += 1;
    std::int64_t neededElements = 0;
    std::int64_t needed = 0;
    if (__builtin_add_overflow(offset, extent, &neededElements) ||
        __builtin_mul_overflow(neededElements, size, &needed) ||
        static_cast<std::uint64_t>(needed) > source->capacityBytes()) {
        throw invalid();
    }
    // Nor into what lies beyond the source's elements: the padding of its rows or the rounding of
    // its allocation.
    if (!empty) {
        const bool inside = source->isContiguous() ? neededElements <= source->count()
                                                   : addressesOnlyLogicalElements(*source, offset, shape, viewStrides);
        if (!inside) throw invalid();
    }
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
