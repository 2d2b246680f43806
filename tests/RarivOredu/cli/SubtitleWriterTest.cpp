// How token timings become subtitle cues.
#include "RarivOredu/cli/SubtitleWriter.h"

#include <gtest/gtest.h>

#include "RarivOredu/cli/RttmWriter.h"

namespace {

using rarivoredu::api::Token;
using rarivoredu::api::Transcript;
using rarivoredu::cli::SubtitleWriter;

Transcript transcriptOf(std::vector<Token> tokens) {
    Transcript transcript;
    transcript.tokens = std::move(tokens);
    for (const Token& token : transcript.tokens) transcript.text += token.text;
    transcript.duration = transcript.tokens.empty() ? 2 : transcript.tokens.back().end;
    return transcript;
}

struct Case {
    const char* name;
    std::vector<Token> tokens;
    std::vector<std::string> cues;
};

TEST(SubtitleWriter, WordsGatherIntoCuesUntilASentenceAPauseOrTheLengthEnds) {
    const std::vector<Case> cases{
        {"pieces join their word", {{" Hel", 0.0, 0.2}, {"lo", 0.2, 0.4}, {" world", 0.5, 0.9}}, {"Hello world"}},
        {"a sentence ends a cue", {{" Yes.", 0.0, 0.3}, {" No", 0.4, 0.6}}, {"Yes.", "No"}},
        {"a pause of a second ends a cue", {{" one", 0.0, 0.3}, {" two", 1.3, 1.6}}, {"one", "two"}},
        {"six seconds at most", {{" a", 0.0, 0.5}, {" b", 0.9, 5.5}, {" c", 5.9, 6.2}}, {"a b", "c"}},
        {"42 characters at most",
         {{" aaaaaaaaaaaaaaaaaaaa", 0.0, 0.1}, {" bbbbbbbbbbbbbbbbbbbbb", 0.1, 0.2}, {" c", 0.2, 0.3}},
         {"aaaaaaaaaaaaaaaaaaaa bbbbbbbbbbbbbbbbbbbbb", "c"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts;
        for (const auto& cue : SubtitleWriter::cues(transcriptOf(c.tokens))) texts.push_back(cue.text);
        EXPECT_EQ(texts, c.cues) << c.name;
    }
}

TEST(SubtitleWriter, ATextWithoutTimingsIsOneCueOverTheRecording) {
    Transcript transcript;
    transcript.text = " hello ";
    transcript.duration = 2.5;
    EXPECT_EQ(SubtitleWriter::srt(transcript), "1\n00:00:00,000 --> 00:00:02,500\nhello\n\n");
    EXPECT_EQ(SubtitleWriter::srt(Transcript{}), "");
}

TEST(SubtitleWriter, TimestampsCarryHoursAndRoundToMilliseconds) {
    EXPECT_EQ(SubtitleWriter::timestamp(3723.4567), "01:02:03,457");
    EXPECT_EQ(SubtitleWriter::timestamp(-1), "00:00:00,000");
}

TEST(RttmWriter, RecordingIdsHaveNoWhiteSpace) {
    EXPECT_EQ(rarivoredu::cli::RttmWriter::recordingId("/a/my talk.final.wav"), "my_talk.final");
    EXPECT_EQ(rarivoredu::cli::RttmWriter::rttm("talk", {{"2", 1.5, 3.25, 0.5f}}),
              "SPEAKER talk 1 1.500 1.750 <NA> <NA> 2 <NA> <NA>\n");
}

}  // namespace
