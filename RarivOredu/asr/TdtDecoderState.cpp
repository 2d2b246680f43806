#include "RarivOredu/asr/TdtDecoderState.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "RarivOredu/shared/ANEOptimizer.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ASRConstants.h"

namespace rarivoredu {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

platform::MLMultiArrayPtr zeroedStateArray(int layers, int width) {
    auto array = ANEOptimizer::createAlignedArray({layers, 1, width}, MLMultiArrayDataType::float32);
    TdtDecoderState::fill(*array, 0.0);
    return array;
}

}  // namespace

TdtDecoderState::TdtDecoderState() {
    try {
        *this = make();
    } catch (const std::exception& e) {
        AppLogger("TdtDecoderState").fault(std::string("Failed to allocate decoder state: ") + e.what());
        std::abort();
    }
}

TdtDecoderState TdtDecoderState::make() { return make(2, ASRConstants::decoderHiddenSize); }

TdtDecoderState TdtDecoderState::make(int layers, int width) {
    TdtDecoderState state{Unallocated{}};
    state.hiddenState = zeroedStateArray(layers, width);
    state.cellState = zeroedStateArray(layers, width);
    return state;
}

void TdtDecoderState::update(const platform::MLFeatureProvider& decoderOutput) {
    static const std::string hiddenName = "h_out";
    static const std::string cellName = "c_out";
    if (auto value = decoderOutput.featureValueForName(hiddenName); value && value->multiArrayValue()) {
        hiddenState = value->multiArrayValue();
    }
    if (auto value = decoderOutput.featureValueForName(cellName); value && value->multiArrayValue()) {
        cellState = value->multiArrayValue();
    }
}

void TdtDecoderState::fill(MLMultiArray& array, double value) noexcept {
    if (array.dataType() == MLMultiArrayDataType::float32 && array.isContiguous()) {
        std::fill_n(array.data<float>(), array.count(), static_cast<float>(value));
        return;
    }
    array.fill(value);
}

void TdtDecoderState::copyArray(const MLMultiArray& source, MLMultiArray& destination) noexcept {
    const auto n = std::min(source.count(), destination.count());
    if (&source == &destination) return;
    if (source.dataType() == MLMultiArrayDataType::float32 && destination.dataType() == MLMultiArrayDataType::float32 &&
        source.isContiguous() && destination.isContiguous()) {
        std::memmove(destination.dataPointer(), source.dataPointer(), static_cast<std::size_t>(n) * sizeof(float));
        return;
    }
    for (std::int64_t i = 0; i < n; ++i) destination.setValue(i, source[i]);
}

}  // namespace rarivoredu
