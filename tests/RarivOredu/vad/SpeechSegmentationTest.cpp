#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "RarivOredu/vad/SpeechSegmentation.h"
#include "RarivOredu/vad/VadError.h"
#include "tests/RarivOredu/vad/VadTestSupport.h"

namespace rarivoredu {

void PrintTo(const SpeechSegmentation::SampleRange& range, std::ostream* os) {
    *os << "[" << range.start << ", " << range.end << ")";
}

namespace {

using Range = SpeechSegmentation::SampleRange;
constexpr float s = 0.9f;  // speech
constexpr float q = 0.1f;  // clear silence
constexpr double inf = std::numeric_limits<double>::infinity();

std::vector<Range> regions(const std::vector<float>& p, std::int64_t total, const VadSegmentationConfig& config) {
    return SpeechSegmentation::regions(p, total, 0.85f, config);
}

// No padding, so that the cuts show as they are; regions longer than `maxSamples` are split
// (maxSpeechDuration covers one more chunk); no limit for −1.
VadSegmentationConfig splitting(std::int64_t maxSamples, bool preferLongest = true) {
    VadSegmentationConfig config;
    config.speechPadding = 0;
    config.maxSpeechDuration = maxSamples < 0 ? inf : static_cast<double>(maxSamples + 4096) / 16000;
    config.useMaxPossibleSilenceAtMaxSpeech = preferLongest;
    return config;
}

TEST(SpeechSegmentationTest, LongSpeechIsSplitWithoutLosingAnyOfIt) {
    struct Case {
        const char* name;
        std::vector<float> p;
        std::int64_t total;
        VadSegmentationConfig config;
        std::vector<Range> expected;
    };
    const Case cases[] = {
        // Chunk 3 is beyond 8192 samples: the cut falls there and the speech goes on at once.
        {"continuous speech, no silence to split at", {s, s, s, s, s, s}, 6 * 4096, splitting(8192),
         {{0, 12288}, {12288, 24576}}},
        {"a split in the last chunk keeps the end of the speech", {s, s, s, s}, 3 * 4096 + 1000, splitting(8192),
         {{0, 12288}, {12288, 13288}}},
        {"the silence that closed just before the split", {s, s, q, s, s}, 5 * 4096, splitting(8192),
         {{0, 8192}, {12288, 20480}}},
        // Silences at 4096 (0.5), 12288 (0.2) and 20480 (two chunks, 0.6); the split at chunk 8
        // takes the clearly silent one although it is not the longest.
        {"a clearly silent stretch is preferred", {s, 0.5f, s, 0.2f, s, 0.6f, 0.6f, s, s, s}, 10 * 4096,
         splitting(28672), {{0, 12288}, {16384, 40960}}},
        // Silences at 4096 (two chunks, 0.5) and 16384 (0.6), none clearly silent.
        {"otherwise the longest silence", {s, 0.5f, 0.5f, s, 0.6f, s, s, s, s, s}, 10 * 4096, splitting(28672),
         {{0, 4096}, {12288, 40960}}},
        {"or the latest one", {s, 0.5f, 0.5f, s, 0.6f, s, s, s, s, s}, 10 * 4096, splitting(28672, false),
         {{0, 16384}, {20480, 40960}}},
        {"no split without a limit", std::vector<float>(100, s), 100 * 4096, splitting(-1), {{0, 100 * 4096}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(regions(c.p, c.total, c.config), c.expected);
    }
}

TEST(SpeechSegmentationTest, LimitsOfAnySizeAndTheEdgesOfTheRecording) {
    // Speech in chunks 1 and 2, silence from chunk 3 on: by default (4096, 12288) padded.
    const std::vector<float> p{q, s, s, q, q, q, q, q};
    const std::int64_t total = 8 * 4096;
    const auto with = [](auto change) {
        VadSegmentationConfig config;
        change(config);
        return config;
    };
    struct Case {
        const char* name;
        VadSegmentationConfig config;
        std::vector<Range> expected;
    };
    const Case cases[] = {
        {"defaults", {}, {{2496, 13888}}},
        {"silence never long enough", with([](auto& c) { c.minSilenceDuration = inf; }), {{2496, total}}},
        {"padding beyond the recording", with([](auto& c) {
             c.speechPadding = inf;
             c.maxSpeechDuration = inf;
         }),
         {{0, total}}},
        {"no speech long enough", with([](auto& c) { c.minSpeechDuration = inf; }), {}},
        {"speech exactly as long as the shortest kept", with([](auto& c) { c.minSpeechDuration = 0.512; }),
         {{2496, 13888}}},
        {"one sample shorter", with([](auto& c) { c.minSpeechDuration = 0.5121; }), {}},
        {"an enormous limit splits nothing", with([](auto& c) { c.maxSpeechDuration = 1e300; }), {{2496, 13888}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(regions(p, total, c.config), c.expected);
    }

    // Speech opening in the last chunk runs to the end, kept from the shortest length on.
    EXPECT_EQ(regions({q, q, s}, 8192 + 2400, {}), (std::vector<Range>{{8192 - 1600, 8192 + 2400}}));
    EXPECT_TRUE(regions({q, q, s}, 8192 + 2399, {}).empty());
    // Nothing at or above the threshold, or no samples: nothing.
    EXPECT_TRUE(regions({0.84f, 0.5f, q}, 3 * 4096, {}).empty());
    EXPECT_TRUE(regions({s, s}, 0, {}).empty());
    EXPECT_TRUE(regions({}, 4096, {}).empty());
}

TEST(SpeechSegmentationTest, TheManagerCutsOutTheAudioOfEachSegment) {
    ScriptedDetector d({q, s, s, q, q, q, q, q, s, s});
    const auto audio = rampSamples(10 * 4096 - 100);
    VadSegmentationConfig config;
    config.speechPadding = 0;
    const auto segments = d.manager.segmentSpeech(audio, config);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_EQ(segments[0], (VadSegment{0.256, 0.768}));
    EXPECT_EQ(segments[1], (VadSegment{2.048, static_cast<double>(audio.size()) / 16000}));

    const auto pieces = d.manager.segmentSpeechAudio(audio, config);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], std::vector<float>(audio.begin() + 4096, audio.begin() + 12288));
    EXPECT_EQ(pieces[1], std::vector<float>(audio.begin() + 32768, audio.end()));

    // Results over no samples give nothing; a configuration outside its limits is refused first.
    const auto results = d.manager.process(audio);
    EXPECT_TRUE(d.manager.segmentSpeech(results, 0).empty());
    config.silenceThresholdForSplit = 1.5f;
    d.fixture.clearRuns();
    EXPECT_THROW(d.manager.segmentSpeech(audio, config), VadError);
    EXPECT_THROW(d.manager.segmentSpeech(results, 4096, config), VadError);
    EXPECT_TRUE(d.fixture.runs().empty());
}

}  // namespace
}  // namespace rarivoredu
