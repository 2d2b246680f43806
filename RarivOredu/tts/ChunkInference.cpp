#include "RarivOredu/tts/ChunkInference.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>

#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/SecondsSince.h"
#include "RarivOredu/tts/ChunkAudioAssembly.h"
#include "RarivOredu/tts/ChunkInputFeatures.h"
#include "RarivOredu/tts/KokoroSynthesizerLogger.h"
#include "RarivOredu/tts/MultiArrayPool.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsModels.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using Variant = ModelNames::TTS::Variant;
using Level = AppLogger::Level;

std::string joinedWords(const TextChunk& chunk) {
    std::string text;
    for (const auto& word : chunk.words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The number of valid samples an "audio_length_samples" output gives; nothing when it gives none.
std::optional<std::int64_t> validLengthOf(const platform::MLFeatureValue& value) {
    switch (value.type()) {
        case platform::MLFeatureType::multiArray: {
            const auto& array = value.multiArrayValue();
            if (!array || array->count() == 0) return 0;
            const double first = (*array)[0];
            if (!std::isfinite(first)) return std::nullopt;
            return static_cast<std::int64_t>(std::clamp(first, -9.0e18, 9.0e18));
        }
        case platform::MLFeatureType::int64: return value.int64Value();
        case platform::MLFeatureType::doubleValue: {
            const double number = value.doubleValue();
            if (!std::isfinite(number) || number <= -9.2e18 || number >= 9.2e18) return std::nullopt;
            return static_cast<std::int64_t>(number);
        }
        default: return 0;
    }
}

// Copies the samples and finds their smallest and largest value, in one pass over blocks that
// each stage handles as whole vectors.
void copyWithRange(const float* __restrict source, float* __restrict target, std::size_t count, float& lo,
                   float& hi) noexcept {
    float lows[sampleLanes];
    float highs[sampleLanes];
    std::fill_n(lows, sampleLanes, source[0]);
    std::fill_n(highs, sampleLanes, source[0]);
    std::size_t i = 0;
    for (; i + sampleLanes <= count; i += sampleLanes) {
        float block[sampleLanes];
        for (std::size_t l = 0; l < sampleLanes; ++l) block[l] = source[i + l];
        for (std::size_t l = 0; l < sampleLanes; ++l) lows[l] = lows[l] < block[l] ? lows[l] : block[l];
        for (std::size_t l = 0; l < sampleLanes; ++l) highs[l] = highs[l] > block[l] ? highs[l] : block[l];
        for (std::size_t l = 0; l < sampleLanes; ++l) target[i + l] = block[l];
    }
    lo = *std::min_element(lows, lows + sampleLanes);
    hi = *std::max_element(highs, highs + sampleLanes);
    for (; i < count; ++i) {
        target[i] = source[i];
        lo = std::min(lo, source[i]);
        hi = std::max(hi, source[i]);
    }
}

// Gives the rented inputs back to the pool when the prediction is over, whatever its outcome.
struct RentedInputs {
    MultiArrayPool& pool;
    MLMultiArrayPtr refS;
    MLMultiArrayPtr inputIds;
    MLMultiArrayPtr attentionMask;
    MLMultiArrayPtr randomPhases;

    ~RentedInputs() {
        pool.recycle(std::move(randomPhases), true);
        pool.recycle(std::move(attentionMask), false);
        pool.recycle(std::move(inputIds), false);
        pool.recycle(std::move(refS), false);
    }
};

}  // namespace

std::vector<std::int32_t> phonemeIds(const std::vector<std::string>& phonemes, const KokoroVocabulary::Map& vocabulary) {
    std::vector<std::int32_t> ids;
    ids.reserve(phonemes.size() + 2);
    ids.push_back(0);
    for (const auto& symbol : phonemes) {
        if (const auto found = vocabulary.find(symbol); found != vocabulary.end()) {
            ids.push_back(found->second);
        } else {
            logger().warning("Missing phoneme in vocab: '" + symbol + "'");
        }
    }
    ids.push_back(0);
    return ids;
}

ModelNames::TTS::Variant selectVariant(std::size_t idCount, std::optional<Variant> preference,
                                       const TokenCapacities& capacities) {
    const auto n = static_cast<std::int64_t>(idCount);
    const std::int64_t shortCapacity = capacities.shortCapacity;
    const std::int64_t longCapacity = capacities.longCapacity;
    if (preference == Variant::fiveSecond) {
        if (shortCapacity >= n) return Variant::fiveSecond;
        throw TTSError::processingFailed("Chunk token count " + std::to_string(n) + " exceeds 5s capacity " +
                                         std::to_string(shortCapacity));
    }
    if (preference == Variant::fifteenSecond) {
        if (longCapacity >= n) return Variant::fifteenSecond;
        throw TTSError::processingFailed("Chunk token count " + std::to_string(n) + " exceeds 15s capacity " +
                                         std::to_string(longCapacity));
    }
    if (longCapacity < n) {
        throw TTSError::processingFailed("Chunk token count " + std::to_string(n) +
                                         " exceeds supported capacities (short=" + std::to_string(shortCapacity) +
                                         ", long=" + std::to_string(longCapacity) + ")");
    }
    const std::int64_t threshold = std::min<std::int64_t>(shortCapacity, automaticShortThreshold);
    if (threshold >= n) return Variant::fiveSecond;
    if (AppLogger::isEnabled(Level::notice)) {
        logger().notice("Promoting chunk to Kokoro 15s variant: token count " + std::to_string(n) +
                        " exceeds short threshold=" + std::to_string(threshold) + " (short capacity=" +
                        std::to_string(shortCapacity) + ", long capacity=" + std::to_string(longCapacity) + ")");
    }
    return Variant::fifteenSecond;
}

std::vector<ChunkEntry> buildChunkEntries(const std::vector<TextChunk>& chunks, const KokoroVocabulary::Map& vocabulary,
                                          std::optional<Variant> preference, const TokenCapacities& capacities) {
    std::vector<ChunkEntry> entries;
    entries.reserve(chunks.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const TextChunk& chunk = chunks[i];
        std::vector<std::int32_t> ids = phonemeIds(chunk.phonemes, vocabulary);
        if (ids.empty()) throw TTSError::processingFailed("No input IDs generated for chunk: " + joinedWords(chunk));
        const Variant variant = selectVariant(ids.size(), preference, capacities);
        const int capacity = capacities.capacity(variant);
        ChunkInfoTemplate plan;
        plan.index = static_cast<int>(i);
        plan.text = chunk.text;
        plan.wordCount = static_cast<int>(chunk.words.size());
        plan.words = chunk.words;
        plan.atoms = chunk.atoms;
        plan.pauseAfterMs = chunk.pauseAfterMs;
        plan.tokenCount = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(capacity, 0)), ids.size()));
        plan.variant = variant;
        plan.targetTokens = capacity;
        entries.push_back(ChunkEntry{chunk, std::move(ids), std::move(plan)});
    }
    logger().info(entries.size() == 1 ? std::string("Text fits in single chunk")
                                      : "Text split into " + std::to_string(entries.size()) + " chunks");
    return entries;
}

void fitInputIds(std::span<const std::int32_t> ids, std::span<std::int32_t> target, std::string_view chunkText) {
    const std::size_t count = ids.size();
    const std::size_t length = target.size();
    if (count > length && AppLogger::isEnabled(Level::warning)) {
        logger().warning("input_ids length (" + std::to_string(count) + ") exceeds targetTokens=" +
                         std::to_string(length) + " for chunk '" + std::string(chunkText) + "' — truncating");
    } else if (count < length && AppLogger::isEnabled(Level::debug)) {
        logger().debug("input_ids length (" + std::to_string(count) + ") below targetTokens=" + std::to_string(length) +
                       " for chunk '" + std::string(chunkText) + "' — padding with zeros");
    }
    const std::size_t kept = std::min(count, length);
    std::copy_n(ids.begin(), kept, target.begin());
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(kept), target.end(), 0);
}

ChunkPrediction predictChunk(const SynthesizerContext& context, const TextChunk& chunk,
                             std::span<const std::int32_t> inputIds, Variant variant, int targetTokens,
                             std::span<const float> embedding) {
    if (inputIds.empty()) throw TTSError::processingFailed("No input IDs generated for chunk: " + joinedWords(chunk));
    const platform::MLModelPtr model = context.modelForVariant(variant);
    const auto tokens = static_cast<std::int64_t>(std::max(targetTokens, 0));
    const auto styleLength = static_cast<std::int64_t>(embedding.size());

    MultiArrayPool& pool = multiArrayPool();
    RentedInputs inputs{pool, {}, {}, {}, {}};
    const std::array<std::int64_t, 2> styleShape{1, styleLength};
    const std::array<std::int64_t, 2> idsShape{1, tokens};
    const std::array<std::int64_t, 2> phasesShape{1, 9};
    inputs.refS = pool.rent(styleShape, MLMultiArrayDataType::float32, false);
    std::copy(embedding.begin(), embedding.end(), inputs.refS->data<float>());
    inputs.inputIds = pool.rent(idsShape, MLMultiArrayDataType::int32, false);
    inputs.attentionMask = pool.rent(idsShape, MLMultiArrayDataType::int32, false);
    inputs.randomPhases = pool.rent(phasesShape, MLMultiArrayDataType::float32, true);

    fitInputIds(inputIds, std::span<std::int32_t>(inputs.inputIds->data<std::int32_t>(), static_cast<std::size_t>(tokens)),
                chunk.text);
    std::int32_t* mask = inputs.attentionMask->data<std::int32_t>();
    const auto attended = std::min<std::int64_t>(tokens, static_cast<std::int64_t>(inputIds.size()));
    std::fill(mask, mask + attended, 1);
    std::fill(mask + attended, mask + tokens, 0);
    std::fill_n(inputs.randomPhases->data<float>(), 9, 0.0f);

    const ChunkInputFeatures features(inputs.inputIds, inputs.attentionMask, inputs.refS, inputs.randomPhases);
    const auto started = std::chrono::steady_clock::now();
    const auto output = compatPrediction(*model, features, platform::MLPredictionOptions{});
    const double predictionTime = secondsSince(started);
    return ChunkPrediction{extractAudio(*output, variant), predictionTime};
}

std::vector<float> extractAudio(const platform::MLFeatureProvider& output, Variant variant) {
    const auto audioValue = output.featureValueForName("audio");
    const MLMultiArrayPtr audio = audioValue ? audioValue->multiArrayValue() : nullptr;
    if (!audio || audio->count() == 0) {
        std::string names;
        for (const auto& name : output.featureNames()) names += (names.empty() ? "\"" : ", \"") + name + "\"";
        throw TTSError::processingFailed("Failed to extract 'audio' output. Features: [" + names + "]");
    }
    std::int64_t valid = audio->count();
    if (const auto lengthValue = output.featureValueForName("audio_length_samples")) {
        if (const auto length = validLengthOf(*lengthValue); length && *length > 0) valid = std::min(valid, *length);
    }
    if (variant == Variant::fiveSecond && valid > shortVariantTailTrim && valid < shortVariantTrimBelow) {
        valid -= shortVariantTailTrim;
    }

    // One pass copies the samples and finds their range.
    std::vector<float> samples(static_cast<std::size_t>(valid));
    float lo = 0.0f;
    float hi = 0.0f;
    if (valid > 0) {
        if (audio->dataType() == MLMultiArrayDataType::float32 && audio->isContiguous()) {
            copyWithRange(audio->data<float>(), samples.data(), samples.size(), lo, hi);
        } else {
            for (std::int64_t i = 0; i < valid; ++i) samples[static_cast<std::size_t>(i)] = static_cast<float>((*audio)[i]);
            lo = *std::min_element(samples.begin(), samples.end());
            hi = *std::max_element(samples.begin(), samples.end());
        }
    }
    if (hi - lo != 0.0f) {
        if (AppLogger::isEnabled(Level::info)) {
            logger().info("Audio range: [" + formatFixed(lo, 4) + ", " + formatFixed(hi, 4) + "]");
        }
    } else {
        logger().warning("Prediction produced constant signal (min=max=" + formatShortestFloat(lo) + ").");
    }
    return samples;
}

}  // namespace rarivoredu::KokoroSynthesizer
