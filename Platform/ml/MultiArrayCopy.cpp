#include "Platform/ml/MultiArrayCopy.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "Platform/ml/MLModelError.h"

namespace platform {
namespace {

std::string shapeText(const MLMultiArray::Shape& shape) {
    std::string s = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) s += (i ? ", " : "") + std::to_string(shape[i]);
    return s + "]";
}

}  // namespace

void copyMultiArray(const MLMultiArray& source, MLMultiArray& destination) {
    if (source.shape() != destination.shape()) {
        throw MLModelError::parameters("Cannot copy a multi-array of shape " + shapeText(source.shape()) +
                                       " into one of shape " + shapeText(destination.shape()));
    }
    if (&source == &destination) return;
    const std::int64_t n = source.count();
    if (source.dataType() == destination.dataType() && source.isContiguous() && destination.isContiguous()) {
        std::memmove(destination.dataPointer(), source.dataPointer(),
                     static_cast<std::size_t>(n) * elementSize(source.dataType()));
        return;
    }
    if (source.dataType() == MLMultiArrayDataType::float32 && destination.dataType() == MLMultiArrayDataType::float32 &&
        !source.shape().empty()) {
        // Row by row: the innermost dimension is contiguous in both for the usual padded layouts.
        const std::int64_t inner = source.shape().back();
        const std::int64_t rows = inner == 0 ? 0 : n / inner;
        const auto si = source.strides().back();
        const auto di = destination.strides().back();
        const float* src = source.data<float>();
        float* dst = destination.data<float>();
        for (std::int64_t r = 0; r < rows; ++r) {
            const auto so = source.offsetOfLinearIndex(r * inner);
            const auto dof = destination.offsetOfLinearIndex(r * inner);
            for (std::int64_t i = 0; i < inner; ++i) dst[dof + i * di] = src[so + i * si];
        }
        return;
    }
    for (std::int64_t i = 0; i < n; ++i) destination.setValue(i, source[i]);
}

MLMultiArrayPtr cloneMultiArray(const MLMultiArray& source) {
    auto copy = MLMultiArray::create(source.shape(), source.dataType());
    copyMultiArray(source, *copy);
    return copy;
}

bool memoryOverlaps(const MLMultiArray& a, const MLMultiArray& b) noexcept {
    const auto* a0 = static_cast<const std::uint8_t*>(a.dataPointer());
    const auto* b0 = static_cast<const std::uint8_t*>(b.dataPointer());
    const auto* a1 = a0 + a.physicalExtent() * static_cast<std::int64_t>(elementSize(a.dataType()));
    const auto* b1 = b0 + b.physicalExtent() * static_cast<std::int64_t>(elementSize(b.dataType()));
    if (a0 == a1 || b0 == b1) return false;
    return a0 < b1 && b0 < a1;
}

void applyOutputBackings(MLDictionaryFeatureProvider::Dictionary& outputs, const MLPredictionOptions& options) {
    if (options.outputBackings.empty()) return;
    // Set aside every output whose memory another output's backing is about to overwrite.
    for (auto& [name, value] : outputs) {
        const auto& array = value.multiArrayValue();
        if (!array) continue;
        for (const auto& [backedName, backing] : options.outputBackings) {
            if (backedName == name || !backing) continue;
            if (outputs.find(backedName) == outputs.end()) continue;
            if (memoryOverlaps(*array, *backing)) {
                value = MLFeatureValue::featureValueWithMultiArray(cloneMultiArray(*array));
                break;
            }
        }
    }
    for (const auto& [backedName, backing] : options.outputBackings) {
        auto it = outputs.find(backedName);
        if (it == outputs.end() || !backing) continue;
        const auto& array = it->second.multiArrayValue();
        if (!array) {
            throw MLModelError::featureTypeError("Output '" + backedName + "' is not a multi-array and cannot be backed");
        }
        if (array.get() != backing.get()) copyMultiArray(*array, *backing);
        it->second = MLFeatureValue::featureValueWithMultiArray(backing);
    }
}

}  // namespace platform
