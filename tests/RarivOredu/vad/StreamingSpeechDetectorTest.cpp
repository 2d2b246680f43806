#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/vad/StreamingSpeechDetector.h"
#include "RarivOredu/vad/VadError.h"
#include "tests/RarivOredu/vad/VadTestSupport.h"

namespace rarivoredu {
namespace {

using Kind = VadStreamEvent::Kind;
using testsupport::VadFixtureModel;
constexpr float s = 0.9f;
constexpr float q = 0.1f;
constexpr float m = 0.8f;  // between the thresholds

struct Step {
    float p;
    std::size_t length;
    bool triggered;
    std::optional<std::int64_t> tempEnd;
    std::optional<VadStreamEvent> event;
};

VadStreamEvent at(Kind kind, std::int64_t sample, double time) { return {kind, sample, time}; }

void runSteps(const std::vector<Step>& steps) {
    std::vector<float> probabilities;
    for (const auto& step : steps) probabilities.push_back(step.p);
    ScriptedDetector d(probabilities);
    auto state = VadManager::makeStreamState();
    EXPECT_EQ(state.modelState, VadState::initial());
    std::int64_t processed = 0;
    for (std::size_t k = 0; k < steps.size(); ++k) {
        SCOPED_TRACE(k);
        const auto& step = steps[k];
        const auto result = d.manager.processStreamingChunk(std::vector<float>(step.length, 0.1f), state,
                                                            VadSegmentationConfig::defaultConfig(), true, 1);
        processed += static_cast<std::int64_t>(step.length);
        EXPECT_FLOAT_EQ(result.probability, step.p);
        EXPECT_EQ(result.state.processedSamples, processed);
        EXPECT_EQ(result.state.triggered, step.triggered);
        EXPECT_EQ(result.state.tempEndSample, step.tempEnd);
        EXPECT_EQ(result.event, step.event);
        // The model state goes on with the stream: the fixture counts the chunks in it.
        EXPECT_FLOAT_EQ(result.state.modelState.hiddenState[0], static_cast<float>(k + 1));
        state = result.state;
    }
}

TEST(StreamingSpeechDetectorTest, StartsAndEndsFollowTheTwoThresholds) {
    // Silence, speech from chunk 3 (start 12288 − 1600), a silence from chunk 5 that a chunk
    // between the thresholds neither ends nor cancels, the end once it lasted 12000 samples: one
    // padding after the chunk in which the silence began.
    runSteps({
        {q, 4096, false, {}, {}},
        {q, 4096, false, {}, {}},
        {q, 4096, false, {}, {}},
        {s, 4096, true, {}, at(Kind::speechStart, 10688, 0.7)},
        {s, 4096, true, {}, {}},
        {q, 4096, true, 24576, {}},
        {m, 4096, true, 24576, {}},
        {q, 4096, true, 24576, {}},
        {q, 4096, false, {}, at(Kind::speechEnd, 24576 + 1600 - 4096, 1.4)},
    });
}

TEST(StreamingSpeechDetectorTest, SpeechFromTheFirstChunkAndShortChunks) {
    // The end lies one padding after the chunk in which the silence began: 12288 + 1600.
    runSteps({
        {s, 4096, true, {}, at(Kind::speechStart, 0, 0.0)},
        {s, 4096, true, {}, {}},
        {s, 4096, true, {}, {}},
        {q, 4096, true, 16384, {}},
        {q, 4096, true, 16384, {}},
        {q, 4096, true, 16384, {}},
        {q, 4096, false, {}, at(Kind::speechEnd, 13888, 0.9)},
        // A chunk of 1000 samples counts as 1000 although the model heard 4096.
        {s, 1000, true, {}, at(Kind::speechStart, 28672 + 1000 - 1600 - 1000, 1.7)},
        {s, 4096, true, {}, {}},
        {q, 4096, true, 37864, {}},
        {s, 10, true, {}, {}},
    });
}

TEST(StreamingSpeechDetectorTest, AStreamEndingInSpeechEndsItAtItsLastSample) {
    VadStreamState state;
    EXPECT_FALSE(VadManager::finishStream(state));
    state.triggered = true;
    state.processedSamples = 20000;
    EXPECT_EQ(VadManager::finishStream(state), (VadStreamEvent{Kind::speechEnd, 20000, std::nullopt}));
    state.tempEndSample = 16384;  // a silence too short to end the speech: it runs to the end too
    EXPECT_EQ(VadManager::finishStream(state, true, 2), (VadStreamEvent{Kind::speechEnd, 20000, 1.25}));
}

TEST(StreamingSpeechDetectorTest, TimesAreRoundedToTheResolutionHalvesAwayFromZero) {
    struct Case {
        std::int64_t sample;
        int resolution;
        double time;
    };
    for (const auto c : {Case{10688, 1, 0.7}, Case{10688, 2, 0.67}, Case{10688, 3, 0.668}, Case{10688, 0, 1.0},
                         Case{8000, 0, 1.0}, Case{800, 1, 0.1}, Case{-800, 1, -0.1}, Case{1, 500, 1.0 / 16000},
                         Case{24000, -400, 1.5}}) {
        EXPECT_DOUBLE_EQ(StreamingSpeechDetector::eventTime(c.sample, c.resolution), c.time)
            << c.sample << " at " << c.resolution;
    }
}

TEST(StreamingSpeechDetectorTest, AChunkThatCannotBeHeardWholeOrFailsLeavesTheStreamAsItWas) {
    platform::LogCapture log;
    ScriptedDetector d({s, s});
    const auto state = VadManager::makeStreamState();
    try {
        d.manager.processStreamingChunk(std::vector<float>(4097, 0.0f), state);
        FAIL() << "a chunk longer than the model hears";
    } catch (const VadError& error) {
        EXPECT_EQ(error.kind(), VadError::Kind::invalidConfiguration);
        EXPECT_STREQ(error.what(), "Invalid configuration: streaming chunks hold at most 4096 samples; this one holds "
                                   "4097 and the rest would go unheard");
    }
    EXPECT_TRUE(d.fixture.runs().empty());

    VadFixtureModel::Outputs failing;
    failing.fail = true;
    d.fixture.setOutputs(failing);
    EXPECT_THROW(d.manager.processStreamingChunk(std::vector<float>(4096, 0.0f), state), VadError);
    d.fixture.setOutputs({});
    const auto result = d.manager.processStreamingChunk(std::vector<float>(4096, 0.0f), state);
    EXPECT_EQ(result.event, (VadStreamEvent{Kind::speechStart, 0, std::nullopt}));

    VadSegmentationConfig refused;
    refused.minSilenceDuration = -1;
    EXPECT_THROW(d.manager.processStreamingChunk(std::vector<float>(4096, 0.0f), state, refused), VadError);
}

}  // namespace
}  // namespace rarivoredu
