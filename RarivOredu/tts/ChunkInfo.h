#pragma once

#include <string>
#include <vector>

#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu::KokoroSynthesizer {

// What a caller learns about one chunk of a synthesis.
struct ChunkInfo {
    int index = 0;
    std::string text;
    int wordCount = 0;
    std::vector<std::string> words;
    std::vector<std::string> atoms;
    int pauseAfterMs = 0;
    int tokenCount = 0;
    std::vector<float> samples;  // mono, 24000 Hz
    ModelNames::TTS::Variant variant = ModelNames::TTS::Variant::fiveSecond;

    friend bool operator==(const ChunkInfo&, const ChunkInfo&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
