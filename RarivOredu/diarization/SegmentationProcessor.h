#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/diarization/SpeakerActivity.h"
#include "RarivOredu/shared/ANEMemoryOptimizer.h"
#include "RarivOredu/diarization/ZeroCopyDiarizerFeatureProvider.h"

namespace rarivoredu {

// Runs the speaker segmentation model on one chunk and turns its per-frame powerset scores into
// the activity of up to three local speakers.
//
// Model: input "audio", float32 [1, 1, chunkSize]; output "segments", [1, frames, 7], one score
// per powerset class: 0 nobody, 1–3 speaker 0, 1 or 2 alone, 4 speakers 0+1, 5 0+2, 6 1+2.
//
// The input buffer is pooled: one chunk at a time per processor.
class SegmentationProcessor {
public:
    static constexpr int powersetClasses = 7;
    // The local speakers each class stands for, as flags of speakers 0, 1 and 2.
    static constexpr std::array<std::array<bool, 3>, powersetClasses> powerset{{
        {false, false, false},
        {true, false, false},
        {false, true, false},
        {false, false, true},
        {true, true, false},
        {true, false, true},
        {false, true, true},
    }};

    SegmentationProcessor();

    // Feeds the first min(chunkSize, chunk length) samples, zero-padded to chunkSize, and writes
    // the binarized activity of the model's frames. Throws DiarizerError::memoryAllocationFailed,
    // DiarizerError::processingFailed when "segments" is missing or not [1, frames, 7], and the
    // model's failure unchanged.
    void process(std::span<const float> audioChunk, const platform::MLModel& segmentationModel, std::int64_t chunkSize,
                 SpeakerActivity& activity);

    // Batch 0 of a [batch, frames, 7] score array to activity: per frame the class with the
    // largest score (the lowest of equal ones) marks its speakers 1.0.
    static void convertPowerset(const platform::MLMultiArray& segments, SpeakerActivity& activity);

private:
    ANEMemoryOptimizer memoryOptimizer_;
    // The input of the last chunk, kept while the pooled buffer stays the same.
    std::shared_ptr<ZeroCopyDiarizerFeatureProvider> provider_;
    platform::MLMultiArrayPtr providerBuffer_;
    const platform::MLPredictionOptions predictionOptions_{};
};

}  // namespace rarivoredu
