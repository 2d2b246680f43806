#include "RarivOredu/tts/KokoroSynthesizer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <set>

#include "Platform/text/UnicodeText.h"
#include "RarivOredu/shared/AudioWAV.h"
#include "RarivOredu/shared/BoundedTaskGroup.h"
#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/shared/SecondsSince.h"
#include "RarivOredu/tts/ChunkAudioAssembly.h"
#include "RarivOredu/tts/ChunkInference.h"
#include "RarivOredu/tts/KokoroChunker.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/KokoroSynthesizerLogger.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/MultiArrayPool.h"
#include "RarivOredu/tts/SpeedChange.h"
#include "RarivOredu/tts/SynthesizerResources.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsModels.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "RarivOredu/tts/VoiceEmbeddingCache.h"
#include "RarivOredu/tts/VoiceEmbeddings.h"
#include "RarivOredu/tts/VoiceId.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

using Variant = ModelNames::TTS::Variant;
using Level = AppLogger::Level;
using platform::MLMultiArrayDataType;

bool logs(Level level) { return AppLogger::isEnabled(level); }

std::string chunkNumber(std::size_t index) { return std::to_string(index + 1); }

// Fills the pool with what the chunk predictions rent while `workers` of them run at once, so
// that renting allocates nothing and the pool never holds more than that.
void preallocateInputs(const std::vector<ChunkEntry>& entries, int styleLength, std::size_t workers) {
    MultiArrayPool& pool = multiArrayPool();
    const auto perWorker = static_cast<int>(std::min(entries.size(), workers));
    std::map<int, std::size_t> entriesByTokens;
    for (const auto& entry : entries) ++entriesByTokens[entry.chunkTemplate.targetTokens];
    pool.preallocate({1, 9}, MLMultiArrayDataType::float32, std::max(perWorker, 1), true);
    for (const auto& [tokens, count] : entriesByTokens) {
        pool.preallocate({1, tokens}, MLMultiArrayDataType::int32, 2 * static_cast<int>(std::min(count, workers)), false);
    }
    pool.preallocate({1, styleLength}, MLMultiArrayDataType::float32, std::max(perWorker, 1), false);
}

// The chunks' predictions, in chunk order, at most `workers` at a time.
std::vector<ChunkSynthesisResult> synthesizeChunks(const SynthesizerContext& context,
                                                   const std::vector<ChunkEntry>& entries,
                                                   const std::map<std::int64_t, VoiceEmbeddingData>& embeddings,
                                                   std::size_t workers) {
    const std::size_t total = entries.size();
    std::vector<const std::vector<float>*> vectors(total);
    for (std::size_t i = 0; i < total; ++i) {
        const auto length = static_cast<std::int64_t>(entries[i].inputIds.size());
        const auto found = embeddings.find(length);
        if (found == embeddings.end()) {
            throw TTSError::processingFailed("Missing voice embedding for chunk " + chunkNumber(i) + " with " +
                                             std::to_string(length) + " tokens");
        }
        vectors[i] = &found->second.vector;
    }
    logger().info("Starting audio inference across " + std::to_string(total) + " chunk(s)");
    std::vector<ChunkSynthesisResult> results(total);
    BoundedTaskGroup(workers).run(total, [&](std::size_t i) {
        const ChunkEntry& entry = entries[i];
        results[i] = synthesizeChunk(context, static_cast<int>(i), static_cast<int>(total), entry.chunk,
                                     entry.chunkTemplate, entry.inputIds, *vectors[i]);
    });
    return results;
}

std::map<Variant, std::int64_t> variantFootprints(const std::vector<ChunkEntry>& entries) {
    std::set<Variant> used;
    for (const auto& entry : entries) used.insert(entry.chunkTemplate.variant);
    std::map<Variant, std::int64_t> footprints;
    for (const Variant variant : used) {
        try {
            footprints[variant] = directorySize(TtsModels::kokoroDirectory() / ModelNames::TTS::fileName(variant));
        } catch (const std::exception&) {
            // Without a cache folder the variant has no figure.
        }
    }
    return footprints;
}

// Every chunk played at the speed, and the WAV of the changed chunks one after another, without
// seams or pauses. Returns the number of samples.
std::size_t changeSpeed(SynthesisResult& synthesis, float speed) {
    std::vector<std::span<const float>> pieces;
    pieces.reserve(synthesis.chunks.size());
    std::size_t samples = 0;
    for (auto& chunk : synthesis.chunks) {
        chunk.samples = applySpeed(chunk.samples, speed);
        pieces.emplace_back(chunk.samples);
        samples += chunk.samples.size();
    }
    synthesis.audio = AudioWAV::data(pieces, TtsConstants::audioSampleRate);
    return samples;
}

}  // namespace

TokenCapacities tokenCapacities(const SynthesizerContext& context, std::optional<Variant> variantPreference) {
    if (variantPreference) {
        const int capacity = tokenCapacity(context, *variantPreference);
        return TokenCapacities{capacity, capacity};
    }
    return TokenCapacities{tokenCapacity(context, Variant::fiveSecond), tokenCapacity(context, Variant::fifteenSecond)};
}

int tokenCapacity(const SynthesizerContext& context, Variant variant) {
    return context.requireModelCache().tokenLength(variant);
}

int maxTokenCapacity(const SynthesizerContext& context, std::optional<Variant> variantPreference) {
    const TokenCapacities capacities = tokenCapacities(context, variantPreference);
    return variantPreference == Variant::fiveSecond ? capacities.shortCapacity : capacities.longCapacity;
}

std::vector<std::int32_t> phonemeIdsWithSharedVocabulary(const std::vector<std::string>& phonemes) {
    return phonemeIds(phonemes, KokoroVocabulary::shared().getVocabulary());
}

ChunkSynthesisResult synthesizeChunk(const SynthesizerContext& context, int index, int total, const TextChunk& chunk,
                                     const ChunkInfoTemplate& chunkTemplate, std::span<const std::int32_t> inputIds,
                                     std::span<const float> embedding) {
    if (logs(Level::info)) {
        const std::string number = std::to_string(index + 1);
        logger().info("Processing chunk " + number + "/" + std::to_string(total) + ": " +
                      std::to_string(chunk.words.size()) + " words");
        logger().info("Chunk " + number + " text: '" + chunkTemplate.text + "'");
        logger().info("Chunk " + number + " using Kokoro " + TtsModels::label(chunkTemplate.variant) + " model");
    }
    ChunkPrediction prediction =
        predictChunk(context, chunk, inputIds, chunkTemplate.variant, chunkTemplate.targetTokens, embedding);
    return ChunkSynthesisResult{index, std::move(prediction.samples), prediction.predictionTime};
}

SynthesisResult synthesizeDetailed(const SynthesizerContext& context, const std::string& text, const std::string& voice,
                                   std::optional<Variant> variantPreference,
                                   const std::vector<TtsPhoneticOverride>& phoneticOverrides, float speed) {
    VoiceId::require(voice);
    const float requestSpeed = checkedSpeed(speed);
    if (logs(Level::info)) {
        logger().info("Starting synthesis: '" + text + "'");
        logger().info("Input length: " + std::to_string(platform::characterCount(text)) + " characters");
        logger().info(std::string("Variant preference requested: ") +
                      (variantPreference ? TtsModels::label(*variantPreference) : "automatic"));
    }

    context.ensureLexiconAssets();
    if (!VoiceEmbeddingCache::shared().payload(voice)) {
        try {
            TtsResourceDownloader::ensureVoiceEmbedding(voice);
        } catch (const std::exception&) {
            // The voice embeddings below say what is missing, or fall back to the default voice.
        }
    }
    context.ensureModelsLoaded(variantPreference);
    loadLexiconAndVocabulary();
    validateLexiconCoverage(text);

    KokoroModelCache& modelCache = context.requireModelCache();
    const KokoroVocabulary::Map vocabulary = KokoroVocabulary::shared().getVocabulary();
    const TokenCapacities capacities = tokenCapacities(context, variantPreference);

    const LexiconCache::Footprint lexiconFootprint = lexiconCache().footprint();
    const auto lowerLexicon = lexiconCache().wordToPhonemes();
    const auto caseSensitiveLexicon = lexiconCache().caseSensitiveWordToPhonemes();
    PhonemeSet symbols;
    symbols.reserve(vocabulary.size());
    for (const auto& [symbol, id] : vocabulary) symbols.insert(symbol);

    const std::vector<TextChunk> chunks = KokoroChunker::chunk(text, *lowerLexicon, *caseSensitiveLexicon,
                                                               capacities.longCapacity, false, symbols, phoneticOverrides);
    if (chunks.empty()) throw TTSError::processingFailed("No valid words found in text");
    const std::vector<ChunkEntry> entries = buildChunkEntries(chunks, vocabulary, variantPreference, capacities);

    const int styleLength = modelCache.referenceEmbeddingDimension();
    const auto embeddings = voiceEmbeddingsByTokenCount(voice, entries, styleLength);
    const auto workers = static_cast<std::size_t>(TtsConstants::chunkPredictionWorkers);
    preallocateInputs(entries, styleLength, workers);
    std::vector<ChunkSynthesisResult> results = synthesizeChunks(context, entries, embeddings, workers);

    // Join the chunks in order.
    JoinedAudio joined;
    std::int64_t frames = 0;
    double predictionTime = 0;
    for (const auto& result : results) {
        const auto index = static_cast<std::size_t>(result.index);
        const std::size_t count = result.samples.size();
        frames += static_cast<std::int64_t>(count / TtsConstants::samplesPerFrame);
        if (logs(Level::info)) {
            logger().info("Chunk " + chunkNumber(index) + " model prediction latency: " +
                          formatFixed(result.predictionTime, 3) + "s");
            logger().info("Chunk " + chunkNumber(index) + " duration: " +
                          formatFixed(static_cast<double>(count) / TtsConstants::audioSampleRate, 3) + "s (" +
                          std::to_string(count / TtsConstants::samplesPerFrame) + " frames)");
        }
        const int previousPause = index == 0 ? 0 : entries[index - 1].chunkTemplate.pauseAfterMs;
        joined.append(result.samples, index == 0, previousPause);
        predictionTime += result.predictionTime;
    }
    if (joined.sampleCount() == 0) throw TTSError::processingFailed("Synthesis produced no samples");

    // The WAV writer scales the joined signal by its peak itself; the chunks' own samples are
    // divided by the same peak. At another speed the WAV is made from the changed chunks instead.
    SynthesisResult synthesis;
    if (!changesAudio(requestSpeed)) synthesis.audio = AudioWAV::data(joined.pieces(), TtsConstants::audioSampleRate);
    if (const float peak = joined.peakMagnitude(); peak > 0.0f) {
        for (auto& result : results) divideSamples(result.samples, peak);
    }

    synthesis.chunks.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size() && i < results.size(); ++i) {
        const ChunkInfoTemplate& plan = entries[i].chunkTemplate;
        synthesis.chunks.push_back(ChunkInfo{plan.index, plan.text, plan.wordCount, plan.words, plan.atoms,
                                             plan.pauseAfterMs, plan.tokenCount, std::move(results[i].samples),
                                             plan.variant});
    }
    if (logs(Level::notice)) {
        logger().notice("Total model prediction time: " + formatFixed(predictionTime, 3) + "s for " +
                        std::to_string(entries.size()) + " chunk(s), " + std::to_string(frames) + " total " +
                        (frames == 1 ? "frame" : "frames"));
    }

    Diagnostics diagnostics;
    diagnostics.variantFootprints = variantFootprints(entries);
    diagnostics.lexiconEntryCount = lexiconFootprint.entries;
    diagnostics.lexiconEstimatedBytes = 2 * lexiconFootprint.utf16Units;
    diagnostics.audioSampleBytes = static_cast<std::int64_t>(joined.sampleCount() * sizeof(float));
    diagnostics.outputWavBytes = static_cast<std::int64_t>(synthesis.audio.size());
    if (changesAudio(requestSpeed)) {
        const std::size_t changedSamples = changeSpeed(synthesis, requestSpeed);
        diagnostics = diagnostics.updatingAudioSizes(static_cast<std::int64_t>(changedSamples * sizeof(float)),
                                                     static_cast<std::int64_t>(synthesis.audio.size()));
    }
    synthesis.diagnostics = std::move(diagnostics);
    return synthesis;
}

std::vector<std::uint8_t> synthesize(const SynthesizerContext& context, const std::string& text,
                                     const std::string& voice, std::optional<Variant> variantPreference,
                                     const std::vector<TtsPhoneticOverride>& phoneticOverrides, float speed) {
    const auto started = std::chrono::steady_clock::now();
    SynthesisResult result = synthesizeDetailed(context, text, voice, variantPreference, phoneticOverrides, speed);
    if (logs(Level::info)) {
        const double seconds = secondsSince(started);
        logger().info("Total synthesis time: " + formatFixed(seconds, 3) + "s for " +
                      std::to_string(platform::characterCount(text)) + " characters");
    }
    return std::move(result.audio);
}

}  // namespace rarivoredu::KokoroSynthesizer
