#pragma once

#include <string>
#include <vector>

#include "RarivOredu/asr/ASRResult.h"
#include "tests/support/asr/AsrFixtureScript.h"

namespace rarivoredu::asrtest {

// Tokens every `step` frames over [first, last], ids from `firstId` up, each its own word.
inline std::vector<testsupport::ScriptedToken> evenTokens(int first, int last, int step, int firstId) {
    std::vector<testsupport::ScriptedToken> tokens;
    for (int frame = first, id = firstId; frame <= last; frame += step, ++id) {
        tokens.push_back({frame, id, "\xE2\x96\x81w" + std::to_string(id), 1, 0.5f + 0.01f * static_cast<float>(id % 40)});
    }
    return tokens;
}

// The text, frames and confidences the recogniser should give for a script.
struct Expected {
    std::string text;
    std::vector<double> startTimes;
    std::vector<float> confidences;
    float meanConfidence = 0;
};

inline Expected expectedFor(const std::vector<testsupport::ScriptedToken>& tokens) {
    Expected e;
    std::string joined;
    float sum = 0;
    for (const auto& t : tokens) {
        joined += t.text;
        e.startTimes.push_back(t.frame * 0.08);
        e.confidences.push_back(t.probability);
        sum += t.probability;
    }
    for (std::size_t p = joined.find("\xE2\x96\x81"); p != std::string::npos; p = joined.find("\xE2\x96\x81")) {
        joined.replace(p, 3, " ");
    }
    e.text = joined.substr(joined.find_first_not_of(' '));
    e.meanConfidence = sum / static_cast<float>(tokens.size());
    return e;
}

}  // namespace rarivoredu::asrtest
