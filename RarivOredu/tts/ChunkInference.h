#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "Platform/ml/MLFeatureProvider.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/ChunkEntry.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/SynthesizerContext.h"
#include "RarivOredu/tts/TextChunk.h"
#include "RarivOredu/tts/TokenCapacities.h"

namespace rarivoredu::KokoroSynthesizer {

// One chunk through the model: its phonemes as ids, the variant that takes them, the prediction
// and the samples it answers.

// The 5 s variant is picked automatically only up to this many ids.
constexpr int automaticShortThreshold = 71;
// The 5 s model's output ends with 100 ms of noise, cut when the valid length lies between these.
constexpr std::int64_t shortVariantTailTrim = 2400;
constexpr std::int64_t shortVariantTrimBelow = 108000;

// 0, the ids of the symbols the vocabulary holds (others are logged and skipped), 0.
std::vector<std::int32_t> phonemeIds(const std::vector<std::string>& phonemes, const KokoroVocabulary::Map& vocabulary);

// The variant for `idCount` ids: the preferred one when it has room; automatically the 5 s one up
// to min(short capacity, 71) ids, else the 15 s one. Throws TTSError.processingFailed when the ids
// do not fit.
ModelNames::TTS::Variant selectVariant(std::size_t idCount, std::optional<ModelNames::TTS::Variant> preference,
                                       const TokenCapacities& capacities);

// The chunks planned for inference, in order. Throws what selectVariant throws.
std::vector<ChunkEntry> buildChunkEntries(const std::vector<TextChunk>& chunks, const KokoroVocabulary::Map& vocabulary,
                                          std::optional<ModelNames::TTS::Variant> preference,
                                          const TokenCapacities& capacities);

// Writes the ids into `target`, cut or padded with zeros to its length.
void fitInputIds(std::span<const std::int32_t> ids, std::span<std::int32_t> target, std::string_view chunkText);

struct ChunkPrediction {
    std::vector<float> samples;  // 24 kHz
    double predictionTime = 0;   // seconds in the model
};

// One prediction of the variant's model with pooled inputs, which go back to the pool whatever
// happens. Throws TTSError.processingFailed for an empty id list or output without audio; the
// model's and the cache's errors as they come.
ChunkPrediction predictChunk(const SynthesizerContext& context, const TextChunk& chunk,
                             std::span<const std::int32_t> inputIds, ModelNames::TTS::Variant variant, int targetTokens,
                             std::span<const float> embedding);

// The valid samples of the "audio" output ("audio_length_samples" of them when given), less the
// 5 s variant's tail. Throws TTSError.processingFailed when there is no audio.
std::vector<float> extractAudio(const platform::MLFeatureProvider& output, ModelNames::TTS::Variant variant);

}  // namespace rarivoredu::KokoroSynthesizer
