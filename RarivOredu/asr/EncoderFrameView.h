#pragma once

#include <cstdint>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/shared/ASRConstants.h"

namespace rarivoredu {

// A checked, strided read-only view of the Encoder output ([1, D, T] or [1, T, D], float32, D the
// model's encoder width: 1024 for the 0.6B models) that copies one frame at a time. Holds the array so that the base pointer stays valid.
struct EncoderFrameView {
    int hiddenSize = 0;
    int count = 0;  // usable frames: min(time length, valid length)
    platform::MLMultiArrayPtr array;
    int timeAxis = 0;
    int hiddenAxis = 0;
    std::int64_t timeStride = 0;
    std::int64_t hiddenStride = 0;
    std::int64_t timeBaseOffset = 0;
    const float* basePointer = nullptr;

    // Throws ASRError::processingFailed when the array is not an encoder output this view reads.
    EncoderFrameView(platform::MLMultiArrayPtr encoderOutput, std::int64_t validLength,
                     int width = ASRConstants::encoderHiddenSize);

    // Copies the hiddenSize features of frame `index` to `destination`, one every
    // `destinationStride` floats. Throws ASRError::processingFailed.
    void copyFrame(std::int64_t index, float* destination, std::int64_t destinationStride) const;
};

}  // namespace rarivoredu
