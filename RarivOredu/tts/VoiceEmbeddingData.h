#pragma once

#include <string>
#include <vector>

namespace rarivoredu::KokoroSynthesizer {

// The style vector a chunk is voiced with.
struct VoiceEmbeddingData {
    std::string voiceID;  // the voice used: the default voice after a fallback
    std::vector<float> vector;
    float l2Norm = 0.0f;

    friend bool operator==(const VoiceEmbeddingData&, const VoiceEmbeddingData&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
