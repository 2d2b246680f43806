#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rarivoredu::api {

// Keeps at most a number of speakers in a list of turns: the speakers who speak longest stay, and
// the turns of each other speaker go to the kept speaker whose voice is nearest to theirs (cosine
// distance of the mean embeddings). Speakers are then named "1", "2" … in the order they first
// speak.
struct SpeakerLimit {
    struct Turn {
        std::string speaker;
        std::vector<float> embedding;
        double start = 0;
        double end = 0;
        float quality = 0;
    };

    SpeakerLimit() = delete;

    // No limit when maxSpeakers is 0.
    static void apply(std::vector<Turn>& turns, std::size_t maxSpeakers);
};

}  // namespace rarivoredu::api
