#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/shared/ANEMemoryOptimizer.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/diarization/ZeroCopyDiarizerFeatureProvider.h"

namespace rarivoredu {

// Runs the speaker embedding model once per local speaker of a chunk, on the chunk's waveform
// and that speaker's frame mask, and answers one 256-value embedding per speaker.
//
// Model: inputs "waveform", float32 [3, 160000] (row 0 the chunk), and "mask", float32
// [3, frames] (row 0 one speaker's mask, rows 1 and 2 zero); output "embedding", whose first
// 256 values are the embedding of row 0.
//
// The input buffers are allocated once and shared by all calls: one extraction at a time.
class EmbeddingExtractor {
public:
    static constexpr std::size_t embeddingSize = 256;
    static constexpr std::int64_t waveformSamples = 160000;

    // Never throws: a buffer that cannot be allocated is logged and left out.
    explicit EmbeddingExtractor(platform::MLModelPtr embeddingModel);

    // One embedding per mask, in mask order, written into `embeddings` (resized; its vectors are
    // reused). A mask whose sum is below minActivityThreshold gets 256 zeros without running the
    // model; so does a speaker for whom the model answers no "embedding". Throws
    // DiarizerError::memoryAllocationFailed when a buffer is missing, DiarizerError::processingFailed
    // when the "embedding" output holds fewer than 256 values, and the model's failure unchanged.
    void extractEmbeddings(std::span<const float> audio, const std::vector<std::vector<float>>& masks,
                           float minActivityThreshold, std::vector<std::vector<float>>& embeddings);

    const platform::MLModelPtr& wespeakerModel() const noexcept { return wespeakerModel_; }

    // Zeroes the whole buffer, then copies the mask into its first row.
    static void fillMaskBuffer(std::span<const float> mask, platform::MLMultiArray& buffer);
    // The first 256 values of the output, in row-major order.
    static void readEmbedding(const platform::MLMultiArray& output, std::vector<float>& embedding);

private:
    platform::MLModelPtr wespeakerModel_;
    AppLogger logger_{"EmbeddingExtractor"};
    ANEMemoryOptimizer memoryOptimizer_;
    platform::MLMultiArrayPtr waveformBuffer_;
    platform::MLMultiArrayPtr maskBuffer_;
    // The inputs of the last extraction, kept while the pooled mask buffer stays the same.
    std::string maskKey_;
    std::int64_t maskFrames_ = -1;
    std::shared_ptr<ZeroCopyDiarizerFeatureProvider> provider_;
    platform::MLMultiArrayPtr providerMask_;
    const platform::MLPredictionOptions predictionOptions_{};
};

}  // namespace rarivoredu
