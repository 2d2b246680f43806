#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One token the fixture joint emits at the recording's encoder frame `frame`.
struct ScriptedToken {
    int frame = 0;
    int tokenId = 0;
    std::string text{};  // vocabulary text, e.g. "\u2581hello"; empty: "\u2581t" + id
    int durationBin = 1;
    float probability = 0.9f;
};

// What the fixture models say. Like an acoustic model, the joint decides by the frame it sees:
// at a frame with scripted tokens it emits the first of them, and after each of them (told by
// the projection of the token last fed to the Decoder) the next one; everywhere else a blank.
// A frame decoded twice therefore yields its tokens twice, and a frame skipped loses them.
struct AsrFixtureScript {
    std::vector<ScriptedToken> tokens;  // in frame order
    int blankId = 8192;
    int blankDurationBin = 1;
    // Duration bins of the blanks at particular frames (default blankDurationBin).
    std::map<int, int> blankDurationBinAt;
    // Encoder output laid out [1, T, 1024] instead of [1, 1024, T].
    bool timeMajorEncoder = false;
    // Decoder projection laid out [1, 1, 640] instead of [1, 640, 1].
    bool featureLastProjection = false;
    // Decoder projection in a Neural-Engine-aligned array, whose feature rows are padded.
    bool paddedProjection = false;
    // The joint fails (a platform error) when it sees this recording frame.
    std::optional<int> failingFrame;

    // A script of these tokens with every other setting at its default.
    static AsrFixtureScript of(std::vector<ScriptedToken> tokens) {
        AsrFixtureScript script;
        script.tokens = std::move(tokens);
        return script;
    }
};

}  // namespace testsupport
