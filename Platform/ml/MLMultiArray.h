#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Platform/ml/MLMultiArrayDataType.h"

namespace platform {

// An n-dimensional array of numbers handed to and returned by models.
//
// The shape gives the logical dimensions; the strides (in elements) say where each element
// lies, so rows may be padded. The array either owns its memory (freed by a deallocator when
// the last reference goes) or refers to memory kept alive by another object, such as the
// array it is a view of. Arrays are shared by reference (std::shared_ptr); their contents are
// not synchronised.
class MLMultiArray {
public:
    using Shape = std::vector<std::int64_t>;
    using Deallocator = std::function<void(void*)>;

    // A new contiguous array with zeroed contents. Throws NSError for a negative dimension.
    static std::shared_ptr<MLMultiArray> create(const Shape& shape, MLMultiArrayDataType dataType);

    // Wraps existing memory. The deallocator, when given, is called once with the data pointer
    // when the array goes away. `keepAlive`, when given, is held as long as the array lives
    // (a view holds its source this way). `capacityBytes` is how many bytes are addressable from
    // `data`; 0 means exactly the array's physical extent. Throws NSError when the strides do not
    // match the shape, a dimension or stride is negative, or the extent exceeds the capacity.
    static std::shared_ptr<MLMultiArray> wrap(void* data, const Shape& shape, MLMultiArrayDataType dataType,
                                              const Shape& strides, Deallocator deallocator = {},
                                              std::shared_ptr<const void> keepAlive = {},
                                              std::size_t capacityBytes = 0);

    // Contiguous (row-major) strides for a shape.
    static Shape contiguousStrides(const Shape& shape);

    ~MLMultiArray();
    MLMultiArray(const MLMultiArray&) = delete;
    MLMultiArray& operator=(const MLMultiArray&) = delete;

    void* dataPointer() const noexcept { return data_; }
    template <typename T>
    T* data() const noexcept { return static_cast<T*>(data_); }

    const Shape& shape() const noexcept { return shape_; }
    const Shape& strides() const noexcept { return strides_; }
    MLMultiArrayDataType dataType() const noexcept { return dataType_; }
    // Number of logical elements: the product of the shape (1 for an empty shape).
    std::int64_t count() const noexcept { return count_; }
    // Elements from the data pointer to one past the last addressable element (0 when empty).
    std::int64_t physicalExtent() const noexcept { return extent_; }
    // Bytes addressable from the data pointer (at least the physical extent in bytes).
    std::size_t capacityBytes() const noexcept { return capacityBytes_; }
    bool isContiguous() const noexcept { return contiguous_; }

    // Element offset (from the data pointer) of the element at a row-major linear index.
    std::int64_t offsetOfLinearIndex(std::int64_t index) const noexcept;
    std::int64_t offsetOf(const Shape& index) const noexcept;

    // Linear subscript in row-major order, read and written through the strides and converted
    // to and from double. Indices are not checked; callers stay within count().
    double operator[](std::int64_t index) const noexcept { return valueAtOffset(offsetOfLinearIndex(index)); }
    void setValue(std::int64_t index, double value) noexcept { setValueAtOffset(offsetOfLinearIndex(index), value); }
    double valueAt(const Shape& index) const noexcept { return valueAtOffset(offsetOf(index)); }
    void setValueAt(const Shape& index, double value) noexcept { setValueAtOffset(offsetOf(index), value); }

    double valueAtOffset(std::int64_t offset) const noexcept;
    void setValueAtOffset(std::int64_t offset, double value) noexcept;

    // Fills every logical element (not the row padding) with a value.
    void fill(double value) noexcept;

private:
    MLMultiArray() = default;

    void* data_ = nullptr;
    Shape shape_;
    Shape strides_;
    MLMultiArrayDataType dataType_ = MLMultiArrayDataType::float32;
    std::int64_t count_ = 0;
    std::int64_t extent_ = 0;
    std::size_t capacityBytes_ = 0;
    bool contiguous_ = true;
    Deallocator deallocator_;
    std::shared_ptr<const void> keepAlive_;
};

using MLMultiArrayPtr = std::shared_ptr<MLMultiArray>;

}  // namespace platform
