#include "RarivOredu/tts/MultiArrayPool.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace rarivoredu::KokoroSynthesizer {
namespace {

MultiArrayKeyView keyOf(std::span<const std::int64_t> shape, platform::MLMultiArrayDataType dataType) noexcept {
    return MultiArrayKeyView{static_cast<int>(dataType), shape};
}

std::size_t hashOf(int dataTypeRawValue, std::span<const std::int64_t> shape) noexcept {
    std::size_t hash = std::hash<int>()(dataTypeRawValue);
    for (const auto dimension : shape) hash = hash * 31 + std::hash<std::int64_t>()(dimension);
    return hash;
}

}  // namespace

std::size_t MultiArrayKeyHash::operator()(const MultiArrayKey& key) const noexcept {
    return hashOf(key.dataTypeRawValue, key.shape);
}

std::size_t MultiArrayKeyHash::operator()(const MultiArrayKeyView& key) const noexcept {
    return hashOf(key.dataTypeRawValue, key.shape);
}

bool MultiArrayKeyEqual::operator()(const MultiArrayKeyView& a, const MultiArrayKey& b) const noexcept {
    return a.dataTypeRawValue == b.dataTypeRawValue && std::ranges::equal(a.shape, b.shape);
}

void zeroFill(platform::MLMultiArray& array) noexcept {
    if (array.count() == 0 || array.physicalExtent() == 0) return;
    std::memset(array.dataPointer(), 0,
                static_cast<std::size_t>(array.physicalExtent()) * platform::elementSize(array.dataType()));
}

platform::MLMultiArrayPtr MultiArrayPool::rent(std::span<const std::int64_t> shape, DataType dataType, bool zeroFill) {
    platform::MLMultiArrayPtr array;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (const auto found = storage_.find(keyOf(shape, dataType)); found != storage_.end() && !found->second.empty()) {
            array = std::move(found->second.back());
            found->second.pop_back();
        }
    }
    if (!array) return platform::MLMultiArray::create(Shape(shape.begin(), shape.end()), dataType);  // starts zeroed
    if (zeroFill) KokoroSynthesizer::zeroFill(*array);
    return array;
}

void MultiArrayPool::recycle(platform::MLMultiArrayPtr array, bool zeroFill) {
    if (!array) return;
    if (zeroFill) KokoroSynthesizer::zeroFill(*array);
    const MultiArrayKeyView key = keyOf(array->shape(), array->dataType());
    const std::lock_guard<std::mutex> guard(lock_);
    auto found = storage_.find(key);
    if (found == storage_.end()) found = storage_.try_emplace(MultiArrayKey{key.dataTypeRawValue, array->shape()}).first;
    found->second.push_back(std::move(array));
}

void MultiArrayPool::preallocate(const Shape& shape, DataType dataType, int count, bool /*zeroFill*/) {
    if (count < 1) return;
    const MultiArrayKeyView key = keyOf(shape, dataType);
    std::size_t present = 0;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (const auto found = storage_.find(key); found != storage_.end()) present = found->second.size();
    }
    if (present >= static_cast<std::size_t>(count)) return;
    std::vector<platform::MLMultiArrayPtr> made;
    made.reserve(static_cast<std::size_t>(count) - present);
    for (std::size_t i = present; i < static_cast<std::size_t>(count); ++i) {
        made.push_back(platform::MLMultiArray::create(shape, dataType));  // zeroed already
    }
    const std::lock_guard<std::mutex> guard(lock_);
    auto& list = storage_[MultiArrayKey{key.dataTypeRawValue, shape}];
    for (auto& array : made) list.push_back(std::move(array));
}

std::size_t MultiArrayPool::availableCount(const Shape& shape, DataType dataType) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = storage_.find(keyOf(shape, dataType));
    return found == storage_.end() ? 0 : found->second.size();
}

MultiArrayPool& multiArrayPool() {
    static MultiArrayPool* const instance = new MultiArrayPool();
    return *instance;
}

}  // namespace rarivoredu::KokoroSynthesizer
