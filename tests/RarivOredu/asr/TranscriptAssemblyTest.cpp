#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/TranscriptAssembly.h"

namespace rarivoredu {
namespace {

const std::string kMark = "\xE2\x96\x81";

Vocabulary vocabulary() {
    return {{1, kMark + "hello"}, {2, kMark + "world"}, {3, "s"}, {4, ""}, {5, kMark + "\t"},
            {20, "<unk>"}, {21, "<|endoftext|>"}, {22, "<pad>"}, {23, "<|"}, {24, "<b>"}};
}

TEST(TranscriptAssemblyTest, TextJoinsKnownTokensWithWordMarksAsSpaces) {
    struct Case {
        std::vector<int> ids;
        std::string text;
    };
    const Case cases[] = {
        {{1, 2}, "hello world"},
        {{1, 3, 2, 3}, "hellos worlds"},
        {{9, 4, 1, 9}, "hello"},  // unknown and empty entries are skipped
        {{4, 9}, ""},
        {{5, 1, 5}, "hello"},  // blanks at both ends are trimmed
        {{20, 1, 21, 22, 2}, "hello world"},  // the tokenizer's control pieces are never text
        {{1, 23, 24}, "hello<|<b>"},       // pieces that only look alike are text
        {{}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convertTokensToText(c.ids, {}, vocabulary()).first, c.text);
    }
}

TEST(TranscriptAssemblyTest, TextKeepsTheTimingsOfKeptTokens) {
    const std::vector<TokenTiming> timings{{"", 0, 0.0, 0.1, 0.9f}, {"", 0, 0.1, 0.2, 0.8f}, {"", 0, 0.2, 0.3, 0.7f}};
    const auto [text, kept] = convertTokensToText({1, 9, 2, 3}, timings, vocabulary());
    EXPECT_EQ(text, "hello worlds");
    ASSERT_EQ(kept.size(), 2u);  // 9 is unknown; 3 has no timing at its index
    EXPECT_EQ(kept[0], (TokenTiming{" hello", 1, 0.0, 0.1, 0.9f}));
    EXPECT_EQ(kept[1], (TokenTiming{" world", 2, 0.2, 0.3, 0.7f}));
}

TEST(TranscriptAssemblyTest, TimingsInSecondsSortedByFrame) {
    struct Case {
        const char* name;
        std::vector<int> ids;
        std::vector<int> frames;
        std::vector<float> confidences;
        std::vector<int> durations;
        std::vector<TokenTiming> expected;
    };
    const Case cases[] = {
        {"ends at the next start, the last after one frame",
         {1, 2},
         {10, 20},
         {0.9f, 0.8f},
         {},
         {{" hello", 1, 0.8, 1.6, 0.9f}, {" world", 2, 1.6, 1.68, 0.8f}}},
        {"durations give the end",
         {1, 2},
         {10, 20},
         {0.9f, 0.8f},
         {3, 0},
         {{" hello", 1, 0.8, 0.8 + 3 * 0.08, 0.9f}, {" world", 2, 1.6, 1.68, 0.8f}}},
        {"same frame keeps decoding order",
         {2, 1},
         {5, 5},
         {0.5f, 0.6f},
         {},
         {{" world", 2, 0.4, 0.48, 0.5f}, {" hello", 1, 0.4, 0.48, 0.6f}}},
        {"sorted by frame, unknown ids named",
         {7, 1},
         {9, 3},
         {0.5f, 0.6f},
         {},
         {{" hello", 1, 0.24, 0.72, 0.6f}, {"token_7", 7, 0.72, 0.8, 0.5f}}},
        {"a control piece keeps its time without text",
         {1, 20},
         {10, 20},
         {0.9f, 0.8f},
         {},
         {{" hello", 1, 0.8, 1.6, 0.9f}, {"", 20, 1.6, 1.68, 0.8f}}},
        {"lists of other lengths give nothing", {1, 2}, {10}, {0.9f, 0.8f}, {}, {}},
        {"no ids give nothing", {}, {}, {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto timings = createTokenTimings(c.ids, c.frames, c.confidences, c.durations, vocabulary());
        ASSERT_EQ(timings.size(), c.expected.size());
        for (std::size_t i = 0; i < timings.size(); ++i) {
            EXPECT_EQ(timings[i].token, c.expected[i].token);
            EXPECT_EQ(timings[i].tokenId, c.expected[i].tokenId);
            EXPECT_DOUBLE_EQ(timings[i].startTime, c.expected[i].startTime);
            EXPECT_DOUBLE_EQ(timings[i].endTime, c.expected[i].endTime);
            EXPECT_EQ(timings[i].confidence, c.expected[i].confidence);
        }
    }
}

TEST(TranscriptAssemblyTest, ConfidenceIsTheBoundedMean) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<float> confidences;
        std::size_t tokens;
        float expected;
        bool warns;
    };
    const Case cases[] = {
        {"mean", "hello", {0.6f, 0.8f}, 2, 0.7f, false},
        {"capped at 1", "hello", {1.5f, 1.5f}, 2, 1.0f, false},
        {"raised to 0.1", "hello", {0.05f}, 1, 0.1f, false},
        {"not a number counts as 1", "hello", {std::numeric_limits<float>::quiet_NaN()}, 1, 1.0f, false},
        {"empty text", " \n\t", {0.9f}, 1, 0.1f, false},
        {"missing confidences", "hello", {}, 2, 0.5f, true},
        {"confidences of other length", "hello", {0.9f}, 2, 0.5f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::LogCapture log;
        EXPECT_FLOAT_EQ(transcriptConfidence(c.text, c.confidences, c.tokens, AppLogger("ASR")), c.expected);
        EXPECT_EQ(log.contains("Expected token confidences but got none - this should not happen", "ASR"), c.warns);
    }
}

}  // namespace
}  // namespace rarivoredu
