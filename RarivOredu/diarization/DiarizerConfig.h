#pragma once

#include <cstdint>

namespace rarivoredu {

// How the diarizer cuts, matches and keeps speech. Durations are seconds.
struct DiarizerConfig {
    // Speakers match below clusteringThreshold × 1.2 and update below × 0.8 (cosine distance).
    float clusteringThreshold = 0.7f;
    float minSpeechDuration = 1.0f;           // shortest segment kept; shortest speech that creates a speaker
    float minEmbeddingUpdateDuration = 2.0f;  // handed to the speaker manager
    float minSilenceGap = 0.5f;               // carried for callers
    std::int64_t numClusters = -1;            // carried for callers
    float minActiveFramesCount = 10.0f;       // frames a local speaker needs to count
    bool debugMode = false;                   // results carry the speaker database and timings
    float chunkDuration = 10.0f;              // rounded to whole seconds
    float chunkOverlap = 0.0f;                // rounded to whole seconds

    static DiarizerConfig defaultConfig() { return {}; }

    // How a recording is cut at a sample rate.
    struct Chunking {
        std::int64_t chunkSamples = 0;
        std::int64_t overlapSamples = 0;
        std::int64_t stepSamples = 0;
    };
    // The diarizer's models take 16 kHz audio and at most 10 s per chunk. Throws
    // DiarizerError::invalidConfiguration unless the sample rate is 16,000, chunkDuration rounds
    // to 1 to 10 s and chunkOverlap to 0 s or more and less than the chunk.
    Chunking chunking(std::int64_t sampleRate) const;
};

}  // namespace rarivoredu
