#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/ChunkInfoTemplate.h"
#include "RarivOredu/tts/SynthesisResult.h"
#include "RarivOredu/tts/SynthesizerContext.h"
#include "RarivOredu/tts/TextChunk.h"
#include "RarivOredu/tts/TokenCapacities.h"
#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu::KokoroSynthesizer {

// Turns one normalised, sanitised text into 24 kHz speech: makes sure the lexicon, the voice, the
// models and the vocabulary are there, cuts the text into chunks that fit the models, predicts the
// chunks on a bounded set of worker threads (TtsConstants::chunkPredictionWorkers at a time, each
// with inputs from the shared array pool), joins the chunk audio with short cross-fades,
// normalises its peak, changes its speed when asked and encodes it as WAV.
//
// `voice` is a resolved voice id; `speed` 1 is normal speed (see checkedSpeed). Throws
// TTSError.processingFailed for an invalid voice id, a non-finite speed, a context that lacks a
// resource, a text without words, and a chunk without embedding; the errors of the parts it calls
// pass on. A failed request leaves the shared caches and the pool usable.
SynthesisResult synthesizeDetailed(const SynthesizerContext& context, const std::string& text, const std::string& voice,
                                   std::optional<ModelNames::TTS::Variant> variantPreference,
                                   const std::vector<TtsPhoneticOverride>& phoneticOverrides, float speed);
// The WAV bytes of synthesizeDetailed, with the total time logged.
std::vector<std::uint8_t> synthesize(const SynthesizerContext& context, const std::string& text,
                                     const std::string& voice, std::optional<ModelNames::TTS::Variant> variantPreference,
                                     const std::vector<TtsPhoneticOverride>& phoneticOverrides, float speed);

// The capacities for a preference: both the preferred variant's, or the 5 s and the 15 s one.
TokenCapacities tokenCapacities(const SynthesizerContext& context,
                                std::optional<ModelNames::TTS::Variant> variantPreference);
int tokenCapacity(const SynthesizerContext& context, ModelNames::TTS::Variant variant);
// The long capacity, or the short one when the 5 s variant is preferred.
int maxTokenCapacity(const SynthesizerContext& context, std::optional<ModelNames::TTS::Variant> variantPreference);
// Ids of the phonemes with the shared vocabulary (loaded when needed).
std::vector<std::int32_t> phonemeIdsWithSharedVocabulary(const std::vector<std::string>& phonemes);

// One chunk's prediction, as a worker runs it.
struct ChunkSynthesisResult {
    int index = 0;
    std::vector<float> samples;
    double predictionTime = 0;
};
ChunkSynthesisResult synthesizeChunk(const SynthesizerContext& context, int index, int total, const TextChunk& chunk,
                                     const ChunkInfoTemplate& chunkTemplate, std::span<const std::int32_t> inputIds,
                                     std::span<const float> embedding);

}  // namespace rarivoredu::KokoroSynthesizer
