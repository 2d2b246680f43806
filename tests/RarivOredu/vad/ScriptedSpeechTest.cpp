// Scripted probabilities per chunk → the results, the speech segments and the streaming events.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tests/RarivOredu/vad/VadTestSupport.h"

namespace rarivoredu {
namespace {

using Kind = VadStreamEvent::Kind;

struct Event {
    Kind kind;
    std::int64_t sample;
    bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) { *os << (e.kind == Kind::speechStart ? "start@" : "end@") << e.sample; }

struct Case {
    const char* name;
    std::vector<float> probabilities;
    std::int64_t totalSamples;
    std::vector<VadSegment> segments;
    std::vector<Event> events;
    VadSegmentationConfig config = VadSegmentationConfig::defaultConfig();
};

VadSegmentationConfig closeRegions() {
    VadSegmentationConfig config;
    config.minSilenceDuration = 0.25;
    config.speechPadding = 0.3;
    return config;
}

std::vector<Event> streamEvents(VadManager& manager, std::span<const float> audio, const VadSegmentationConfig& config) {
    std::vector<Event> events;
    auto state = VadManager::makeStreamState();
    for (std::size_t offset = 0; offset < audio.size(); offset += 4096) {
        const auto chunk = audio.subspan(offset, std::min<std::size_t>(4096, audio.size() - offset));
        const auto result = manager.processStreamingChunk(chunk, state, config);
        if (result.event) events.push_back({result.event->kind, result.event->sampleIndex});
        state = result.state;
    }
    EXPECT_EQ(state.processedSamples, static_cast<std::int64_t>(audio.size()));
    if (const auto end = VadManager::finishStream(state)) events.push_back({end->kind, end->sampleIndex});
    return events;
}

TEST(ScriptedSpeechTest, ProbabilitiesBecomeResultsSegmentsAndStreamEvents) {
    const float s = 0.9f;   // speech
    const float q = 0.1f;   // silence
    const float m = 0.8f;   // between the two thresholds
    const Case cases[] = {
        {"speech, then silence long enough to end it", {s, s, s, s, s, q, q, q, q, q, q, q}, 49152,
         {{0.0, 1.38}}, {{Kind::speechStart, 0}, {Kind::speechEnd, 22080}}},
        {"speech running to the file's end", {q, q, s, s, s}, 4 * 4096 + 1000,
         {{0.412, 1.0865}}, {{Kind::speechStart, 6592}, {Kind::speechEnd, 17384}}},
        {"one chunk of audio", {s}, 3000, {{0.0, 0.1875}}, {{Kind::speechStart, 0}, {Kind::speechEnd, 3000}}},
        {"one chunk, shorter than the shortest speech kept", {s}, 2000, {},
         {{Kind::speechStart, 0}, {Kind::speechEnd, 2000}}},
        {"silence only", {q, q, q, q}, 16384, {}, {}},
        {"speech only", {s, s, s, s}, 16384, {{0.0, 1.024}}, {{Kind::speechStart, 0}, {Kind::speechEnd, 16384}}},
        {"the file ends in a silence too short to end the speech", {s, s, q, q}, 16384, {{0.0, 1.024}},
         {{Kind::speechStart, 0}, {Kind::speechEnd, 16384}}},
        {"probabilities between the thresholds neither end nor cancel a silence", {s, q, m, m, q, q}, 24576,
         {{0.0, 0.356}}, {{Kind::speechStart, 0}, {Kind::speechEnd, 5696}}},
        {"regions closer than two paddings meet in the middle", {s, q, q, s, s}, 20480, {{0.0, 0.512}, {0.512, 1.28}},
         {{Kind::speechStart, 0}, {Kind::speechEnd, 8896}, {Kind::speechStart, 7488}, {Kind::speechEnd, 20480}},
         closeRegions()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDetector d(c.probabilities);
        const std::vector<float> audio(static_cast<std::size_t>(c.totalSamples), 0.25f);

        const auto results = d.manager.process(audio);
        ASSERT_EQ(results.size(), c.probabilities.size());
        for (std::size_t k = 0; k < results.size(); ++k) {
            EXPECT_FLOAT_EQ(results[k].probability, c.probabilities[k]);
            EXPECT_EQ(results[k].isVoiceActive, c.probabilities[k] >= 0.85f);
        }

        const auto segments = d.manager.segmentSpeech(results, c.totalSamples, c.config);
        ASSERT_EQ(segments.size(), c.segments.size());
        for (std::size_t i = 0; i < segments.size(); ++i) {
            EXPECT_DOUBLE_EQ(segments[i].startTime, c.segments[i].startTime) << i;
            EXPECT_DOUBLE_EQ(segments[i].endTime, c.segments[i].endTime) << i;
        }
        EXPECT_EQ(d.manager.segmentSpeech(audio, c.config), segments);

        EXPECT_EQ(streamEvents(d.manager, audio, c.config), c.events);
    }
}

}  // namespace
}  // namespace rarivoredu
