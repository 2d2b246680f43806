#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/tts/ChunkEntry.h"
#include "RarivOredu/tts/SynthesizerContext.h"
#include "RarivOredu/tts/VoiceEmbeddingData.h"

namespace rarivoredu::KokoroSynthesizer {

// Voice style vectors, read from the voice files in <cache>/Models/kokoro/voices (put there by
// TtsResourceDownloader). A voice file is a JSON array of numbers (the vector), or an object
// holding such arrays under "embedding", under the voice's own id, or under token counts ("50").

// The vector of a parsed voice file for a token count: the array itself; else "embedding"; else
// the member named like the voice; else the token-count member equal to the count, or the
// largest below it; else the first array of numbers. Nothing when there is none.
std::optional<std::vector<float>> extractVoiceVector(const nlohmann::json& json, const std::string& voice,
                                                     std::int64_t phonemeCount);

// The voice's vector for a token count, of `expectedLength` values. A voice that cannot be read
// is replaced, with a warning, by the default voice "af_heart". Throws TTSError.processingFailed
// for an invalid voice id, TTSError.modelNotFound when neither voice gives a vector or the vector
// has another length, and the file system's errors for the voices folder.
VoiceEmbeddingData loadVoiceEmbedding(const std::string& voice, std::int64_t phonemeCount, int expectedLength);

// One loadVoiceEmbedding per distinct id count of the entries, by that count.
std::map<std::int64_t, VoiceEmbeddingData> voiceEmbeddingsByTokenCount(const std::string& voice,
                                                                        const std::vector<ChunkEntry>& entries,
                                                                        int expectedLength);

// The vector as a [1, n] float32 array, its length checked against the models' style input.
platform::MLMultiArrayPtr voiceStyleArray(const SynthesizerContext& context, const std::string& voice,
                                          std::int64_t phonemeCount);

}  // namespace rarivoredu::KokoroSynthesizer
