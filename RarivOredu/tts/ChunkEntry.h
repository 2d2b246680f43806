#pragma once

#include <cstdint>
#include <vector>

#include "RarivOredu/tts/ChunkInfoTemplate.h"
#include "RarivOredu/tts/TextChunk.h"

namespace rarivoredu::KokoroSynthesizer {

// A chunk ready for inference.
struct ChunkEntry {
    TextChunk chunk;
    std::vector<std::int32_t> inputIds;  // vocabulary ids between two 0 ids, not yet fitted
    ChunkInfoTemplate chunkTemplate;

    friend bool operator==(const ChunkEntry&, const ChunkEntry&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
