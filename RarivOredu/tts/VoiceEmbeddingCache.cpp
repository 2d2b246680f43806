#include "RarivOredu/tts/VoiceEmbeddingCache.h"

namespace rarivoredu::KokoroSynthesizer {

std::optional<VoiceEmbeddingCache::Payload> VoiceEmbeddingCache::payload(const std::string& voice) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = payloads_.find(voice);
    if (found == payloads_.end()) return std::nullopt;
    return found->second;
}

void VoiceEmbeddingCache::storePayload(const std::string& voice, Payload payload) {
    const std::lock_guard<std::mutex> guard(lock_);
    payloads_[voice] = std::move(payload);
}

std::optional<std::vector<float>> VoiceEmbeddingCache::vector(const Key& key) const {
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = vectors_.find(key);
    if (found == vectors_.end()) return std::nullopt;
    return found->second;
}

void VoiceEmbeddingCache::storeVector(const Key& key, std::vector<float> vector) {
    const std::lock_guard<std::mutex> guard(lock_);
    vectors_[key] = std::move(vector);
}

VoiceEmbeddingCache& VoiceEmbeddingCache::shared() {
    static VoiceEmbeddingCache* const instance = new VoiceEmbeddingCache();
    return *instance;
}

}  // namespace rarivoredu::KokoroSynthesizer
