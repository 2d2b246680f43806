#include "Platform/ml/MLMultiArray.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>

#include "Platform/ml/Float16.h"
#include "Platform/ml/MLModelError.h"

namespace platform {
namespace {

// The product of the dimensions, or nothing when it does not fit in 64 bits.
std::optional<std::int64_t> checkedProduct(const MLMultiArray::Shape& shape) {
    std::int64_t n = 1;
    for (auto d : shape) {
        if (d == 0) return 0;
    }
    for (auto d : shape) {
        if (__builtin_mul_overflow(n, d, &n)) return std::nullopt;
    }
    return n;
}



}  // namespace

MLMultiArray::Shape MLMultiArray::contiguousStrides(const Shape& shape) {
    Shape strides(shape.size());
    std::int64_t stride = 1;
    for (std::size_t i = shape.size(); i-- > 0;) {
        strides[i] = stride;
        // Past the largest count an array can have (an empty one of huge dimensions) the strides
        // address nothing: they stay at the largest value instead of wrapping around.
        if (__builtin_mul_overflow(stride, shape[i], &stride)) stride = std::numeric_limits<std::int64_t>::max();
    }
    return strides;
}

std::shared_ptr<MLMultiArray> MLMultiArray::create(const Shape& shape, MLMultiArrayDataType dataType) {
    for (auto d : shape) {
        if (d < 0) throw MLModelError::parameters("Multi-array shape has a negative dimension");
    }
    const std::optional<std::int64_t> count = checkedProduct(shape);
    std::size_t bytes = 0;
    if (!count || __builtin_mul_overflow(static_cast<std::size_t>(*count), elementSize(dataType), &bytes))
        throw MLModelError::parameters("Multi-array shape has more elements than memory can hold");
    bytes = std::max<std::size_t>(1, bytes);
    void* memory = std::calloc(bytes, 1);
    if (memory == nullptr) throw std::bad_alloc();
    return wrap(memory, shape, dataType, contiguousStrides(shape), [](void* p) { std::free(p); }, {}, bytes);
}

std::shared_ptr<MLMultiArray> MLMultiArray::wrap(void* data, const Shape& shape, MLMultiArrayDataType dataType,
                                                 const Shape& strides, Deallocator deallocator,
                                                 std::shared_ptr<const void> keepAlive, std::size_t capacityBytes) {
    auto fail = [&](const std::string& why) {
        if (deallocator) deallocator(data);
        throw MLModelError::parameters(why);
    };
    if (strides.size() != shape.size()) fail("Multi-array strides do not match its shape");
    const std::optional<std::int64_t> count = checkedProduct(shape);
    if (!count) fail("Multi-array shape has more elements than memory can hold");
    std::int64_t maxOffset = 0;
    bool empty = false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] < 0 || strides[i] < 0) fail("Multi-array shape or strides are negative");
        if (shape[i] == 0) empty = true;
    }
    for (std::size_t i = 0; i < shape.size() && !empty; ++i) {
        std::int64_t reach = 0;
        if (__builtin_mul_overflow(shape[i] - 1, strides[i], &reach) || __builtin_add_overflow(maxOffset, reach, &maxOffset))
            fail("Multi-array strides reach past its memory");
    }
    const std::int64_t extent = empty ? 0 : maxOffset + 1;
    std::size_t extentBytes = 0;
    if (__builtin_mul_overflow(static_cast<std::size_t>(extent), elementSize(dataType), &extentBytes))
        fail("Multi-array strides reach past its memory");
    if (capacityBytes == 0) capacityBytes = extentBytes;
    if (extentBytes > capacityBytes) fail("Multi-array strides reach past its memory");

    std::shared_ptr<MLMultiArray> array(new MLMultiArray());
    array->data_ = data;
    array->shape_ = shape;
    array->strides_ = strides;
    array->dataType_ = dataType;
    array->count_ = *count;
    array->extent_ = extent;
    array->capacityBytes_ = capacityBytes;
    array->contiguous_ = (strides == contiguousStrides(shape)) || array->count_ == 0;
    array->deallocator_ = std::move(deallocator);
    array->keepAlive_ = std::move(keepAlive);
    return array;
}

MLMultiArray::~MLMultiArray() {
    if (deallocator_) deallocator_(data_);
}

std::int64_t MLMultiArray::offsetOfLinearIndex(std::int64_t index) const noexcept {
    if (contiguous_) return index;
    std::int64_t offset = 0;
    for (std::size_t i = shape_.size(); i-- > 0;) {
        const std::int64_t d = shape_[i];
        offset += (index % d) * strides_[i];
        index /= d;
    }
    return offset;
}

std::int64_t MLMultiArray::offsetOf(const Shape& index) const noexcept {
    std::int64_t offset = 0;
    for (std::size_t i = 0; i < index.size() && i < strides_.size(); ++i) offset += index[i] * strides_[i];
    return offset;
}

double MLMultiArray::valueAtOffset(std::int64_t offset) const noexcept {
    switch (dataType_) {
        case MLMultiArrayDataType::float16: return halfBitsToFloat(static_cast<const std::uint16_t*>(data_)[offset]);
        case MLMultiArrayDataType::float32: return static_cast<const float*>(data_)[offset];
        case MLMultiArrayDataType::float64: return static_cast<const double*>(data_)[offset];
        case MLMultiArrayDataType::int32: return static_cast<const std::int32_t*>(data_)[offset];
    }
    return 0;
}

void MLMultiArray::setValueAtOffset(std::int64_t offset, double value) noexcept {
    switch (dataType_) {
        case MLMultiArrayDataType::float16:
            static_cast<std::uint16_t*>(data_)[offset] = floatToHalfBits(static_cast<float>(value));
            break;
        case MLMultiArrayDataType::float32: static_cast<float*>(data_)[offset] = static_cast<float>(value); break;
        case MLMultiArrayDataType::float64: static_cast<double*>(data_)[offset] = value; break;
        case MLMultiArrayDataType::int32: {
            constexpr double lo = std::numeric_limits<std::int32_t>::min();
            constexpr double hi = std::numeric_limits<std::int32_t>::max();
            const double clamped = value != value ? 0.0 : (value < lo ? lo : (value > hi ? hi : value));
            static_cast<std::int32_t*>(data_)[offset] = static_cast<std::int32_t>(clamped);
            break;
        }
    }
}

void MLMultiArray::fill(double value) noexcept {
    if (contiguous_ && value == 0.0) {
        std::memset(data_, 0, static_cast<std::size_t>(count_) * elementSize(dataType_));
        return;
    }
    for (std::int64_t i = 0; i < count_; ++i) setValue(i, value);
}

}  // namespace platform
