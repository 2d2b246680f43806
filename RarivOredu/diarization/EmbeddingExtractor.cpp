#include "RarivOredu/diarization/EmbeddingExtractor.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>

#include "RarivOredu/shared/DiarizerError.h"
#include "RarivOredu/shared/ModelPrediction.h"

namespace rarivoredu {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

EmbeddingExtractor::EmbeddingExtractor(platform::MLModelPtr embeddingModel)
    : wespeakerModel_(std::move(embeddingModel)) {
    try {
        waveformBuffer_ = memoryOptimizer_.createAlignedBuffer({3, waveformSamples}, MLMultiArrayDataType::float32);
        maskBuffer_ = memoryOptimizer_.createAlignedBuffer({3, 1000}, MLMultiArrayDataType::float32);
    } catch (const std::exception& error) {
        logger_.error(std::string("Failed to allocate ANE-aligned buffers: ") + error.what());
    }
    logger_.info("EmbeddingExtractor initialized with ANE-aligned buffers");
}

void EmbeddingExtractor::extractEmbeddings(std::span<const float> audio, const std::vector<std::vector<float>>& masks,
                                           float minActivityThreshold, std::vector<std::vector<float>>& embeddings) {
    embeddings.resize(masks.size());
    if (masks.empty()) return;
    const auto frames = static_cast<std::int64_t>(masks[0].size());
    if (frames != maskFrames_) {
        maskKey_ = "wespeaker_mask_" + std::to_string(frames);
        maskFrames_ = frames;
    }
    const auto maskBuffer = memoryOptimizer_.getPooledBuffer(maskKey_, {3, frames}, MLMultiArrayDataType::float32);
    if (!provider_ || providerMask_ != maskBuffer) {
        provider_ = std::make_shared<ZeroCopyDiarizerFeatureProvider>(ZeroCopyDiarizerFeatureProvider::Features{
            {"waveform", MLFeatureValue::featureValueWithMultiArray(waveformBuffer_)},
            {"mask", MLFeatureValue::featureValueWithMultiArray(maskBuffer)}});
        providerMask_ = maskBuffer;
    }
    bool waveformLoaded = false;
    for (std::size_t i = 0; i < masks.size(); ++i) {
        auto& embedding = embeddings[i];
        embedding.assign(embeddingSize, 0.0f);
        const float activity = std::accumulate(masks[i].begin(), masks[i].end(), 0.0f);
        if (activity < minActivityThreshold) continue;
        if (!waveformBuffer_) throw DiarizerError::memoryAllocationFailed();
        if (!waveformLoaded) {  // the same chunk for every speaker: copied once
            memoryOptimizer_.optimizedCopy(audio, *waveformBuffer_, 0);
            waveformLoaded = true;
        }
        fillMaskBuffer(masks[i], *maskBuffer);
        const auto output = compatPrediction(*wespeakerModel_, *provider_, predictionOptions_);
        const auto value = output->featureValueForName("embedding");
        if (value && value->multiArrayValue()) readEmbedding(*value->multiArrayValue(), embedding);
    }
}

void EmbeddingExtractor::fillMaskBuffer(std::span<const float> mask, MLMultiArray& buffer) {
    buffer.fill(0.0);
    const auto columns = buffer.shape().back();
    const auto n = std::min<std::int64_t>(columns, static_cast<std::int64_t>(mask.size()));
    float* row = buffer.data<float>();
    const auto stride = buffer.strides().back();
    if (stride == 1) {
        std::memcpy(row, mask.data(), static_cast<std::size_t>(n) * sizeof(float));
    } else {
        for (std::int64_t f = 0; f < n; ++f) row[f * stride] = mask[static_cast<std::size_t>(f)];
    }
}

void EmbeddingExtractor::readEmbedding(const MLMultiArray& output, std::vector<float>& embedding) {
    if (output.count() < static_cast<std::int64_t>(embeddingSize)) {
        throw DiarizerError::processingFailed("Embedding output holds " + std::to_string(output.count()) +
                                              " values, fewer than " + std::to_string(embeddingSize));
    }
    embedding.resize(embeddingSize);
    if (output.dataType() == MLMultiArrayDataType::float32 && output.isContiguous()) {
        std::memcpy(embedding.data(), output.data<float>(), embeddingSize * sizeof(float));
        return;
    }
    for (std::size_t i = 0; i < embeddingSize; ++i) embedding[i] = static_cast<float>(output[static_cast<std::int64_t>(i)]);
}

}  // namespace rarivoredu
