#pragma once

#include <string>
#include <vector>

namespace rarivoredu {

// One stretch of input text that the model voices in one prediction.
struct TextChunk {
    std::vector<std::string> words;     // word atoms in text order, as they stood in the text
    std::vector<std::string> atoms;     // every atom that reached the chunk, words and punctuation
    std::vector<std::string> phonemes;  // vocabulary symbols; one " " token between consecutive words
    float totalFrames = 0.0f;           // the chunker always leaves 0
    int pauseAfterMs = 0;               // the chunker always leaves 0
    std::string text;                   // readable text rebuilt from the atoms

    friend bool operator==(const TextChunk&, const TextChunk&) = default;
};

}  // namespace rarivoredu
