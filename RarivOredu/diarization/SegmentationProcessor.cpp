#include "RarivOredu/diarization/SegmentationProcessor.h"

#include <algorithm>
#include <cstring>

#include "RarivOredu/shared/DiarizerError.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/ShapeText.h"

namespace rarivoredu {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

namespace {

const std::string audioKey = "segmentation_audio";

// The score of class c in frame f of batch 0.
struct FrameScores {
    const MLMultiArray& array;
    std::int64_t frameStride;
    std::int64_t classStride;
    const float* floats;  // set for float32 arrays

    float score(std::int64_t frame, std::int64_t classIndex) const noexcept {
        const std::int64_t offset = frame * frameStride + classIndex * classStride;
        return floats ? floats[offset] : static_cast<float>(array.valueAtOffset(offset));
    }
};

}  // namespace

SegmentationProcessor::SegmentationProcessor() = default;

void SegmentationProcessor::process(std::span<const float> audioChunk, const platform::MLModel& segmentationModel,
                                    std::int64_t chunkSize, SpeakerActivity& activity) {
    if (chunkSize <= 0) throw DiarizerError::processingFailed("Segmentation needs a chunk size above 0");
    const auto buffer = memoryOptimizer_.getPooledBuffer(audioKey, {1, 1, chunkSize}, MLMultiArrayDataType::float32);
    // [1, 1, n]: the one row is contiguous even when padded.
    float* input = buffer->data<float>();
    const auto copied = static_cast<std::size_t>(std::min<std::int64_t>(chunkSize, static_cast<std::int64_t>(audioChunk.size())));
    std::memcpy(input, audioChunk.data(), copied * sizeof(float));
    std::fill(input + copied, input + chunkSize, 0.0f);

    if (!provider_ || providerBuffer_ != buffer) {
        provider_ = std::make_shared<ZeroCopyDiarizerFeatureProvider>(
            ZeroCopyDiarizerFeatureProvider::Features{{"audio", MLFeatureValue::featureValueWithMultiArray(buffer)}});
        providerBuffer_ = buffer;
    }
    const auto output = compatPrediction(segmentationModel, *provider_, predictionOptions_);
    const auto segments = output->featureValueForName("segments");
    if (!segments || !segments->multiArrayValue()) {
        throw DiarizerError::processingFailed("Missing segments output from segmentation model");
    }
    convertPowerset(*segments->multiArrayValue(), activity);
}

void SegmentationProcessor::convertPowerset(const MLMultiArray& segments, SpeakerActivity& activity) {
    const auto& shape = segments.shape();
    if (shape.size() != 3 || shape[0] < 1 || shape[1] < 1 || shape[2] != powersetClasses) {
        throw DiarizerError::processingFailed("Segmentation output has shape " + shapeArrayText(shape) +
                                              ", not [1, frames, 7]");
    }
    const auto frames = shape[1];
    const FrameScores scores{segments, segments.strides()[1], segments.strides()[2],
                             segments.dataType() == MLMultiArrayDataType::float32 ? segments.data<float>() : nullptr};
    activity.reset(static_cast<int>(frames));
    for (std::int64_t f = 0; f < frames; ++f) {
        int best = 0;
        float bestScore = scores.score(f, 0);
        for (int c = 1; c < powersetClasses; ++c) {
            const float score = scores.score(f, c);
            if (score > bestScore) {
                bestScore = score;
                best = c;
            }
        }
        for (int k = 0; k < SpeakerActivity::speakers; ++k) {
            if (powerset[static_cast<std::size_t>(best)][static_cast<std::size_t>(k)]) {
                activity.at(static_cast<int>(f), k) = 1.0f;
            }
        }
    }
}

}  // namespace rarivoredu
