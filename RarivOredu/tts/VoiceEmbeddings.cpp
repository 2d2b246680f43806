#include "RarivOredu/tts/VoiceEmbeddings.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <exception>
#include <set>

#include "Platform/system/FileManager.h"
#include "Platform/system/IntegerText.h"
#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/KokoroSynthesizerLogger.h"
#include "RarivOredu/tts/ResourceFile.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "RarivOredu/tts/VoiceEmbeddingCache.h"
#include "RarivOredu/tts/VoiceId.h"

namespace rarivoredu::KokoroSynthesizer {
namespace fs = std::filesystem;
using Payload = VoiceEmbeddingCache::Payload;

namespace {

std::optional<std::vector<float>> numbers(const nlohmann::json& value) {
    if (!value.is_array()) return std::nullopt;
    std::vector<float> vector;
    vector.reserve(value.size());
    for (const auto& element : value) {
        if (!element.is_number()) return std::nullopt;
        vector.push_back(element.get<float>());
    }
    return vector;
}

// The voice's file in the cache, read once per process. Throws the read or parse error, or
// TTSError.modelNotFound when there is no file.
Payload loadVoicePayload(const std::string& voice, const fs::path& candidate, bool& wasCached) {
    VoiceEmbeddingCache& cache = VoiceEmbeddingCache::shared();
    if (auto cached = cache.payload(voice)) {
        wasCached = true;
        return *cached;
    }
    wasCached = false;
    if (!platform::FileManager::fileExists(candidate)) {
        throw TTSError::modelNotFound("Voice embedding unavailable for " + voice + "; checked paths: " +
                                      candidate.string());
    }
    const std::string content = readResourceFile(candidate);
    auto json = std::make_shared<nlohmann::json>(nlohmann::json::parse(content));
    Payload payload{candidate, std::move(json)};
    cache.storePayload(voice, payload);
    return payload;
}

}  // namespace

std::optional<std::vector<float>> extractVoiceVector(const nlohmann::json& json, const std::string& voice,
                                                     std::int64_t phonemeCount) {
    if (auto vector = numbers(json)) return vector;
    if (!json.is_object()) return std::nullopt;
    if (const auto found = json.find("embedding"); found != json.end()) {
        if (auto vector = numbers(*found)) return vector;
    }
    if (const auto found = json.find(voice); found != json.end()) {
        if (auto vector = numbers(*found)) return vector;
    }
    std::map<std::int64_t, std::vector<float>> byCount;
    for (const auto& [name, value] : json.items()) {
        const auto count = platform::int64FromText(name);
        if (!count) continue;
        if (auto vector = numbers(value)) byCount.emplace(*count, std::move(*vector));
    }
    if (const auto exact = byCount.find(phonemeCount); exact != byCount.end()) return exact->second;
    if (auto above = byCount.lower_bound(phonemeCount); above != byCount.begin()) return std::prev(above)->second;
    for (const auto& [name, value] : json.items()) {
        if (auto vector = numbers(value)) return vector;
    }
    return std::nullopt;
}

VoiceEmbeddingData loadVoiceEmbedding(const std::string& voice, std::int64_t phonemeCount, int expectedLength) {
    VoiceId::require(voice);
    const fs::path voices = TtsResourceDownloader::voicesDirectory();
    platform::FileManager::createDirectory(voices, true);

    const std::string fallback = TtsConstants::defaultVoice;
    std::vector<std::string> tried{voice};
    fs::path lastConsidered = voices / (voice + ".json");

    for (const std::string& current : {voice, fallback}) {
        if (current != voice) {
            logger().warning("Voice embedding for " + voice + " not found; falling back to " + fallback);
            tried.push_back(fallback);
        }
        const fs::path candidate = voices / (current + ".json");
        lastConsidered = candidate;
        Payload payload;
        bool payloadWasCached = false;
        try {
            payload = loadVoicePayload(current, candidate, payloadWasCached);
        } catch (const std::exception& error) {
            logger().warning("Failed to load voice embedding for " + current + ": " + error.what());
            if (current == fallback) break;
            continue;
        }
        const VoiceEmbeddingCache::Key key{current, phonemeCount};
        std::optional<std::vector<float>> vector = VoiceEmbeddingCache::shared().vector(key);
        const bool reused = vector.has_value() || payloadWasCached;
        if (!vector) {
            vector = extractVoiceVector(*payload.json, current, phonemeCount);
            if (!vector) {
                logger().warning("Voice embedding payload lacked usable vector for " + current + " at " +
                                 payload.sourceURL.string());
                lastConsidered = payload.sourceURL;
                if (current == fallback) break;
                continue;
            }
            VoiceEmbeddingCache::shared().storeVector(key, *vector);
        }
        if (static_cast<std::int64_t>(vector->size()) != expectedLength) {
            throw TTSError::modelNotFound("Voice embedding for " + current + " has unexpected length (expected " +
                                          std::to_string(expectedLength) + ", got " + std::to_string(vector->size()) +
                                          ")");
        }
        double sum = 0.0;
        for (const float value : *vector) sum += static_cast<double>(value) * value;
        const float norm = static_cast<float>(std::sqrt(sum));
        const std::string tail = current + ", dim=" + std::to_string(expectedLength) + ", l2norm=" + formatFixed(norm, 3);
        if (reused) {
            logger().debug("Reusing cached voice embedding: " + tail);
        } else {
            logger().info("Loaded voice embedding: " + tail);
        }
        return VoiceEmbeddingData{current, std::move(*vector), norm};
    }
    std::string names;
    for (const auto& name : tried) names += (names.empty() ? "" : ", ") + name;
    throw TTSError::modelNotFound("Voice embedding unavailable for " + names + "; checked " + lastConsidered.string());
}

std::map<std::int64_t, VoiceEmbeddingData> voiceEmbeddingsByTokenCount(const std::string& voice,
                                                                        const std::vector<ChunkEntry>& entries,
                                                                        int expectedLength) {
    std::set<std::int64_t> counts;
    for (const auto& entry : entries) counts.insert(static_cast<std::int64_t>(entry.inputIds.size()));
    std::map<std::int64_t, VoiceEmbeddingData> embeddings;
    for (const std::int64_t count : counts) embeddings.emplace(count, loadVoiceEmbedding(voice, count, expectedLength));
    return embeddings;
}

platform::MLMultiArrayPtr voiceStyleArray(const SynthesizerContext& context, const std::string& voice,
                                          std::int64_t phonemeCount) {
    const int dimension = context.requireModelCache().referenceEmbeddingDimension();
    const VoiceEmbeddingData data = loadVoiceEmbedding(voice, phonemeCount, dimension);
    auto array = platform::MLMultiArray::create({1, static_cast<std::int64_t>(data.vector.size())},
                                                platform::MLMultiArrayDataType::float32);
    std::copy(data.vector.begin(), data.vector.end(), array->data<float>());
    return array;
}

}  // namespace rarivoredu::KokoroSynthesizer
