#pragma once

#include <set>
#include <string>
#include <vector>

#include "Platform/text/NSRegularExpression.h"

namespace rarivoredu {

// The fixed values of the speech synthesis engine.
struct TtsConstants {
    static constexpr int audioSampleRate = 24000;  // Hz, of all synthesized audio and its WAV data
    static constexpr int samplesPerFrame = 600;    // 25 ms; frames are only counted
    static constexpr int maxMergeTokens = 242;     // bound of the budget when short sentences merge
    static constexpr const char* defaultVoice = "af_heart";
    static constexpr const char* defaultRepoId = "ViridErevidaro/kokoro-82m-coreml";
    // Speeds of synthesised speech: slower or faster ones are refused.
    static constexpr float minimumSpeed = 0.5f;
    static constexpr float maximumSpeed = 2.0f;
    // Chunk predictions of one request that run at the same time.
    static constexpr int chunkPredictionWorkers = 4;

    // The 54 voice ids in the order a speaker number picks them.
    static const std::vector<std::string>& availableVoices();
    // The six bracket characters the input sanitiser removes: ( ) [ ] { }.
    static const std::set<char32_t>& parentheticalDelimiters();
    // "\s+": every run of white space, which the input sanitiser turns into one space.
    static const platform::NSRegularExpression& whitespaceRegex();
};

}  // namespace rarivoredu
