#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu::KokoroSynthesizer {

// The identity of a pooled array: its element type and shape.
struct MultiArrayKey {
    int dataTypeRawValue = 0;
    platform::MLMultiArray::Shape shape;

    friend bool operator==(const MultiArrayKey&, const MultiArrayKey&) = default;
};

// A key looked up without being built (no shape to allocate).
struct MultiArrayKeyView {
    int dataTypeRawValue = 0;
    std::span<const std::int64_t> shape;
};

// Hash and equality of keys and views alike.
struct MultiArrayKeyHash {
    using is_transparent = void;
    std::size_t operator()(const MultiArrayKey& key) const noexcept;
    std::size_t operator()(const MultiArrayKeyView& key) const noexcept;
};

struct MultiArrayKeyEqual {
    using is_transparent = void;
    bool operator()(const MultiArrayKey& a, const MultiArrayKey& b) const noexcept { return a == b; }
    bool operator()(const MultiArrayKeyView& a, const MultiArrayKey& b) const noexcept;
    bool operator()(const MultiArrayKey& a, const MultiArrayKeyView& b) const noexcept { return (*this)(b, a); }
};

// Model input arrays kept by shape and element type for reuse, last in first out. An array handed
// out belongs to the caller until it gives it back; the pool keeps no hold on it. Every function
// may be called from any thread.
class MultiArrayPool {
public:
    using Shape = platform::MLMultiArray::Shape;
    using DataType = platform::MLMultiArrayDataType;

    // The last array given back for the key, or a new one (zeroed). Throws the NSError of the
    // allocation. Renting a pooled array allocates nothing.
    platform::MLMultiArrayPtr rent(std::span<const std::int64_t> shape, DataType dataType, bool zeroFill);
    // Keeps the array for the next rent of its shape and type, zeroed first when asked. Allocates
    // only for a key the pool has not seen.
    void recycle(platform::MLMultiArrayPtr array, bool zeroFill);
    // Makes at least `count` arrays of the key wait in the pool (new arrays start zeroed, whatever
    // `zeroFill` says). When an allocation fails the pool keeps what it had and the error is thrown.
    void preallocate(const Shape& shape, DataType dataType, int count, bool zeroFill);

    // How many arrays of the key wait in the pool.
    std::size_t availableCount(const Shape& shape, DataType dataType) const;

private:
    mutable std::mutex lock_;
    std::unordered_map<MultiArrayKey, std::vector<platform::MLMultiArrayPtr>, MultiArrayKeyHash, MultiArrayKeyEqual>
        storage_;
};

// Sets every byte of the array's storage (all its elements) to zero.
void zeroFill(platform::MLMultiArray& array) noexcept;

// The process-wide pool of the synthesizer, made on first use.
MultiArrayPool& multiArrayPool();

}  // namespace rarivoredu::KokoroSynthesizer
