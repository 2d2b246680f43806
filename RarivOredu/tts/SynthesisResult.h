#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "RarivOredu/tts/ChunkInfo.h"
#include "RarivOredu/tts/Diagnostics.h"

namespace rarivoredu::KokoroSynthesizer {

// The outcome of one detailed synthesis.
struct SynthesisResult {
    std::vector<std::uint8_t> audio;  // WAV bytes
    std::vector<ChunkInfo> chunks;    // in chunk order
    std::optional<Diagnostics> diagnostics;

    friend bool operator==(const SynthesisResult&, const SynthesisResult&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
