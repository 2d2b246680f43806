#pragma once

#include <string>
#include <vector>

#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu::KokoroSynthesizer {

// The plan for one chunk before inference.
struct ChunkInfoTemplate {
    int index = 0;                   // position in the request's chunk list
    std::string text;
    int wordCount = 0;
    std::vector<std::string> words;
    std::vector<std::string> atoms;
    int pauseAfterMs = 0;
    int tokenCount = 0;              // ids fed: the smaller of targetTokens and the id count
    ModelNames::TTS::Variant variant = ModelNames::TTS::Variant::fiveSecond;
    int targetTokens = 0;            // capacity of the variant; ids are padded or cut to it

    friend bool operator==(const ChunkInfoTemplate&, const ChunkInfoTemplate&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
