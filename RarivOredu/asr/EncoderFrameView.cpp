#include "RarivOredu/asr/EncoderFrameView.h"

#include <cblas.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {

using platform::MLMultiArrayDataType;

namespace {

constexpr bool fitsInt32(std::int64_t value) noexcept {
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

}  // namespace

EncoderFrameView::EncoderFrameView(platform::MLMultiArrayPtr encoderOutput, std::int64_t validLength, int width)
    : array(std::move(encoderOutput)) {
    const auto& shape = array->shape();
    if (shape.size() != 3) throw ASRError::processingFailed("Invalid encoder output shape: " + shapeArrayText(shape));
    if (shape[0] != 1) throw ASRError::processingFailed("Unsupported batch dimension: " + std::to_string(shape[0]));
    if (shape[1] == width) {
        hiddenAxis = 1;
        timeAxis = 2;
    } else if (shape[2] == width) {
        hiddenAxis = 2;
        timeAxis = 1;
    } else {
        throw ASRError::processingFailed("Encoder hidden size mismatch: " + shapeArrayText(shape));
    }
    hiddenSize = width;
    const auto& strides = array->strides();
    timeStride = strides[static_cast<std::size_t>(timeAxis)];
    hiddenStride = strides[static_cast<std::size_t>(hiddenAxis)];
    // Our arrays never carry negative strides, so every frame starts at index × timeStride.
    timeBaseOffset = 0;
    const auto usable = std::min(shape[static_cast<std::size_t>(timeAxis)], validLength);
    if (usable < 1) throw ASRError::processingFailed("Encoder output has no frames");
    count = static_cast<int>(std::min<std::int64_t>(usable, std::numeric_limits<int>::max()));
    if (array->dataType() != MLMultiArrayDataType::float32) {
        throw ASRError::processingFailed("Unsupported encoder output type: " + dataTypeText(array->dataType()));
    }
    basePointer = array->data<float>();
}

void EncoderFrameView::copyFrame(std::int64_t index, float* destination, std::int64_t destinationStride) const {
    if (index < 0 || index >= count) {
        throw ASRError::processingFailed("Encoder frame index out of range: " + std::to_string(index));
    }
    if (hiddenStride == 0) throw ASRError::processingFailed("Invalid hidden stride: 0");
    if (!fitsInt32(hiddenSize)) throw ASRError::processingFailed("Hidden size exceeds supported range");
    if (!fitsInt32(hiddenStride)) throw ASRError::processingFailed("Hidden stride exceeds supported range");
    const float* source = basePointer + index * timeStride + timeBaseOffset;
    if (destinationStride == 1 && hiddenStride == 1) {
        if (source != destination) {
            std::memmove(destination, source, static_cast<std::size_t>(hiddenSize) * sizeof(float));
        }
        return;
    }
    if (!fitsInt32(destinationStride)) throw ASRError::processingFailed("Destination stride out of range");
    cblas_scopy(hiddenSize, source, static_cast<int>(hiddenStride), destination, static_cast<int>(destinationStride));
}

}  // namespace rarivoredu
