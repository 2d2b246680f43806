#pragma once

#include <string>
#include <vector>

#include "rarivoredu/Transcriber.h"

namespace rarivoredu::cli {

// SubRip subtitles from a transcript's token timings: words are gathered into cues of at most
// 42 characters and 6 seconds, and a cue ends after a sentence or at a pause of a second.
class SubtitleWriter {
public:
    struct Cue {
        double start = 0;
        double end = 0;
        std::string text;
    };

    SubtitleWriter() = delete;

    static std::vector<Cue> cues(const api::Transcript& transcript);
    // "1\n00:00:00,000 --> 00:00:01,500\nHello there.\n\n" …
    static std::string srt(const api::Transcript& transcript);
    // "01:02:03,450"
    static std::string timestamp(double seconds);
};

}  // namespace rarivoredu::cli
