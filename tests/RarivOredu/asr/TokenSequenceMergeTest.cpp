#include <gtest/gtest.h>

#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/TokenSequenceMerge.h"

namespace rarivoredu {
namespace {

TEST(TokenSequenceMergeTest, RemovesTheRepeatedHead) {
    struct Case {
        const char* name;
        std::vector<int> previous;
        std::vector<int> current;
        int maxOverlap;
        std::vector<int> kept;
        int skipped;
    };
    const Case cases[] = {
        {"exact overlap", {1, 4, 5, 6}, {4, 5, 6, 7}, 30, {7}, 3},
        {"a single shared token is no overlap", {1, 2, 6}, {6, 7, 8}, 30, {6, 7, 8}, 0},
        {"boundary reset token", {3, 5, 7883}, {7883, 9, 10}, 30, {9, 10}, 1},
        {"repeated token that is no reset token", {3, 5, 42}, {42, 9, 10}, 30, {42, 9, 10}, 0},
        {"run found further in", {1, 2, 3, 4}, {9, 2, 3, 8}, 30, {8}, 3},
        {"longest run first", {5, 6, 7, 1, 2}, {5, 6, 7, 9, 1, 2, 4}, 30, {9, 1, 2, 4}, 3},
        {"nothing shared", {1, 2, 3}, {4, 5, 6}, 30, {4, 5, 6}, 0},
        {"too short to compare", {1}, {1, 2}, 30, {1, 2}, 0},
        {"overlap limited to maxOverlap", {1, 2, 3, 4}, {2, 3, 4, 9}, 2, {4, 9}, 2},
        // Only the last 15 previous tokens take part.
        {"old tokens are not searched",
         {1, 2, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44},
         {1, 2, 9},
         30,
         {1, 2, 9},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [kept, skipped] = mergeTokenSequences(c.previous, c.current, c.maxOverlap, 20, AppLogger("ASR"));
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(skipped, c.skipped);
    }
}

TEST(TokenSequenceMergeTest, RunsBeyondTheSearchWindowStay) {
    std::vector<int> current;
    for (int i = 0; i < 21; ++i) current.push_back(100 + i);
    current.push_back(7);
    current.push_back(8);
    const auto [kept, skipped] = mergeTokenSequences({1, 7, 8, 2}, current, 30, 20, AppLogger("ASR"));
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(kept, current);
}

TEST(TokenSequenceMergeTest, FindingsAreLoggedAtDebugLevel) {
    platform::LogCapture log;
    mergeTokenSequences({1, 12, 345}, {12, 345, 6}, 30, 20, AppLogger("ASR"));
    EXPECT_TRUE(log.contains("Found exact suffix-prefix overlap of length 2: [12, 345]", "ASR"));
    mergeTokenSequences({1, 2, 3, 4}, {9, 2, 3, 8}, 30, 20, AppLogger("ASR"));
    EXPECT_TRUE(log.contains("Found duplicate sequence length=2 at currStart=1: [2, 3] (boundarySearch=20)", "ASR"));
}

}  // namespace
}  // namespace rarivoredu
