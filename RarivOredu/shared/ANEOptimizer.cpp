#include "RarivOredu/shared/ANEOptimizer.h"

#include <string>

#include "Platform/ml/Float16.h"
#include "RarivOredu/shared/ANEMemoryUtils.h"

namespace rarivoredu {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using platform::NSError;

NSError ANEOptimizer::allocationError(const std::exception& error) {
    const auto* memoryError = dynamic_cast<const ANEMemoryError*>(&error);
    if (memoryError && memoryError->kind() == ANEMemoryError::Kind::allocationFailed) {
        return NSError(errorDomain, -1, "Failed to allocate ANE-aligned memory");
    }
    return NSError(errorDomain, -1, std::string("ANE memory allocation error: ") + error.what());
}

MLMultiArrayPtr ANEOptimizer::createAlignedArray(const Shape& shape, MLMultiArrayDataType type) {
    try {
        return ANEMemoryUtils::createAlignedArray(shape, type, false);
    } catch (const ANEMemoryError& e) {
        throw allocationError(e);
    }
}

ANEOptimizer::Shape ANEOptimizer::calculateOptimalStrides(const Shape& shape) {
    return ANEMemoryUtils::calculateOptimalStrides(shape);
}

MLMultiArrayPtr ANEOptimizer::createZeroCopyView(const MLMultiArrayPtr& source, const Shape& shape,
                                                 std::int64_t offset) {
    try {
        return ANEMemoryUtils::createZeroCopyView(source, offset, shape);
    } catch (const ANEMemoryError&) {
        throw NSError(errorDomain, -2, "View exceeds source array bounds");
    }
}

void ANEOptimizer::prefetchToNeuralEngine(const MLMultiArray& array) noexcept {
    if (array.count() <= 0) return;
    [[maybe_unused]] volatile double first = array[0];
    [[maybe_unused]] volatile double last = array[array.count() - 1];
}

MLMultiArrayPtr ANEOptimizer::convertToFloat16(const MLMultiArray& source) {
    if (source.dataType() != MLMultiArrayDataType::float32) {
        throw NSError(errorDomain, -3, "Input must be float32");
    }
    auto destination = createAlignedArray(source.shape(), MLMultiArrayDataType::float16);
    if (source.count() == 0) return destination;
    if (source.shape().empty()) {
        platform::convertPlanarFToPlanar16F(source.data<float>(), destination->data<std::uint16_t>(), 1);
        return destination;
    }
    // Row by row: either array may pad its rows, so the rows need not follow one another.
    const std::int64_t inner = source.shape().back();
    const std::int64_t rows = source.count() / inner;
    const auto sourceStride = source.strides().back();
    const auto destinationStride = destination->strides().back();
    if (sourceStride != 1 || destinationStride != 1) {
        throw NSError(errorDomain, -4, "Float16 conversion failed: rows are not contiguous");
    }
    for (std::int64_t r = 0; r < rows; ++r) {
        const float* from = source.data<float>() + source.offsetOfLinearIndex(r * inner);
        std::uint16_t* to = destination->data<std::uint16_t>() + destination->offsetOfLinearIndex(r * inner);
        platform::convertPlanarFToPlanar16F(from, to, static_cast<std::size_t>(inner));
    }
    return destination;
}

}  // namespace rarivoredu
