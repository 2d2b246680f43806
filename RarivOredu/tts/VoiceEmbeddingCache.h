#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace rarivoredu::KokoroSynthesizer {

// The voice files read so far and the vectors chosen from them, kept for the life of the process.
// The lock is held only for single reads and writes, never while a file is read or parsed.
class VoiceEmbeddingCache {
public:
    // One voice file as read.
    struct Payload {
        std::filesystem::path sourceURL;
        std::shared_ptr<const nlohmann::json> json;
    };
    // A vector is chosen per voice and token count.
    using Key = std::pair<std::string, std::int64_t>;

    std::optional<Payload> payload(const std::string& voice) const;
    void storePayload(const std::string& voice, Payload payload);
    std::optional<std::vector<float>> vector(const Key& key) const;
    void storeVector(const Key& key, std::vector<float> vector);

    // The process-wide cache, made on first use.
    static VoiceEmbeddingCache& shared();

private:
    mutable std::mutex lock_;
    std::map<std::string, Payload> payloads_;
    std::map<Key, std::vector<float>> vectors_;
};

}  // namespace rarivoredu::KokoroSynthesizer
