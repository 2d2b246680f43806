#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/system/NSError.h"
#include "RarivOredu/diarization/DiarizerConfig.h"
#include "RarivOredu/diarization/PipelineTimings.h"
#include "RarivOredu/diarization/TimedSpeakerSegment.h"
#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {
namespace {

using nlohmann::ordered_json;

TEST(DiarizerConfigTest, Defaults) {
    const auto config = DiarizerConfig::defaultConfig();
    EXPECT_FLOAT_EQ(config.clusteringThreshold, 0.7f);
    EXPECT_FLOAT_EQ(config.minSpeechDuration, 1.0f);
    EXPECT_FLOAT_EQ(config.minEmbeddingUpdateDuration, 2.0f);
    EXPECT_FLOAT_EQ(config.minSilenceGap, 0.5f);
    EXPECT_EQ(config.numClusters, -1);
    EXPECT_FLOAT_EQ(config.minActiveFramesCount, 10.0f);
    EXPECT_FALSE(config.debugMode);
    EXPECT_FLOAT_EQ(config.chunkDuration, 10.0f);
    EXPECT_FLOAT_EQ(config.chunkOverlap, 0.0f);
}

TEST(DiarizerConfigTest, ChunkingRoundsToWholeSecondsAndRejectsWhatTheModelsCannotTake) {
    struct Case {
        float chunkDuration;
        float chunkOverlap;
        std::int64_t sampleRate;
        std::int64_t chunkSamples;  // 0: rejected with `error`
        std::int64_t stepSamples;
        std::string error;
    };
    const std::vector<Case> cases = {
        {10.0f, 0.0f, 16000, 160000, 160000, ""},
        {10.4f, 0.0f, 16000, 160000, 160000, ""},
        {5.0f, 2.4f, 16000, 80000, 48000, ""},
        {1.0f, 0.0f, 16000, 16000, 16000, ""},
        {10.0f, 9.0f, 16000, 160000, 16000, ""},
        {10.5f, 0.0f, 16000, 0, 0,
         "Invalid configuration: chunkDuration 10.5 s rounds to 11.0 s; chunks are 1 to 10 s, the length the "
         "segmentation model takes"},
        {0.4f, 0.0f, 16000, 0, 0,
         "Invalid configuration: chunkDuration 0.4 s rounds to 0.0 s; chunks are 1 to 10 s, the length the "
         "segmentation model takes"},
        {10.0f, 10.0f, 16000, 0, 0,
         "Invalid configuration: chunkOverlap 10.0 s rounds to 10.0 s; it must be 0 s or more and less than the "
         "chunk (10 s) so that each chunk moves on"},
        {5.0f, 7.0f, 16000, 0, 0,
         "Invalid configuration: chunkOverlap 7.0 s rounds to 7.0 s; it must be 0 s or more and less than the "
         "chunk (5 s) so that each chunk moves on"},
        {10.0f, -1.0f, 16000, 0, 0,
         "Invalid configuration: chunkOverlap -1.0 s rounds to -1.0 s; it must be 0 s or more and less than the "
         "chunk (10 s) so that each chunk moves on"},
        {NAN, 0.0f, 16000, 0, 0, "Invalid configuration: chunkDuration nan and chunkOverlap 0.0 must be finite"},
        {10.0f, 0.0f, 44100, 0, 0, "Invalid configuration: sample rate 44100 Hz; the diarizer takes 16000 Hz audio"},
        {10.0f, 0.0f, 0, 0, 0, "Invalid configuration: sample rate 0 Hz; the diarizer takes 16000 Hz audio"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.chunkDuration << " / " << c.chunkOverlap << " @ " << c.sampleRate);
        DiarizerConfig config;
        config.chunkDuration = c.chunkDuration;
        config.chunkOverlap = c.chunkOverlap;
        if (c.chunkSamples == 0) {
            try {
                config.chunking(c.sampleRate);
                ADD_FAILURE() << "accepted";
            } catch (const DiarizerError& error) {
                EXPECT_EQ(error.kind(), DiarizerError::Kind::invalidConfiguration);
                EXPECT_STREQ(error.what(), c.error.c_str());
            }
            continue;
        }
        const auto chunking = config.chunking(c.sampleRate);
        EXPECT_EQ(chunking.chunkSamples, c.chunkSamples);
        EXPECT_EQ(chunking.stepSamples, c.stepSamples);
        EXPECT_EQ(chunking.overlapSamples, c.chunkSamples - c.stepSamples);
    }
}

TEST(PipelineTimingsTest, TotalsShareAndBottleneck) {
    const PipelineTimings timings(1, 2, 0, 3, 4, 5, 6);
    EXPECT_DOUBLE_EQ(timings.totalInferenceSeconds, 12);
    EXPECT_DOUBLE_EQ(timings.totalProcessingSeconds, 21);
    EXPECT_EQ(timings.bottleneckStage(), "Post Processing");
    const auto shares = timings.stagePercentages();
    EXPECT_EQ(shares.size(), 7u);
    EXPECT_DOUBLE_EQ(shares.at("Segmentation"), 3.0 / 21 * 100);
    EXPECT_DOUBLE_EQ(shares.at("Model Download"), 1.0 / 21 * 100);
    EXPECT_EQ(shares.count("Total Processing"), 0u);

    const PipelineTimings zero;
    EXPECT_TRUE(zero.stagePercentages().empty());
    EXPECT_EQ(zero.bottleneckStage(), "Model Download");
    EXPECT_EQ(PipelineTimings(0, 0, 0, 5, 5, 1, 0).bottleneckStage(), "Segmentation");
}

TEST(PipelineTimingsTest, JSONKeepsAllNineFieldsAndTheStoredTotals) {
    const PipelineTimings timings(1, 2, 0, 3, 4, 5, 6);
    const auto json = timings.toJSON();
    EXPECT_EQ(json.dump(),
              R"({"modelDownloadSeconds":1.0,"modelCompilationSeconds":2.0,"audioLoadingSeconds":0.0,)"
              R"("segmentationSeconds":3.0,"embeddingExtractionSeconds":4.0,"speakerClusteringSeconds":5.0,)"
              R"("postProcessingSeconds":6.0,"totalInferenceSeconds":12.0,"totalProcessingSeconds":21.0})");

    auto disagreeing = json;
    disagreeing["totalProcessingSeconds"] = 99;
    EXPECT_DOUBLE_EQ(PipelineTimings::fromJSON(disagreeing).totalProcessingSeconds, 99);

    for (const auto& [key, value] : json.items()) {
        SCOPED_TRACE(key);
        auto missing = json;
        missing.erase(key);
        EXPECT_THROW(PipelineTimings::fromJSON(missing), platform::NSError);
    }
    auto mistyped = json;
    mistyped["segmentationSeconds"] = "3";
    try {
        PipelineTimings::fromJSON(mistyped);
        ADD_FAILURE() << "decoded";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The data couldn't be read because it isn't in the correct format: \"segmentationSeconds\" of "
                  "PipelineTimings is not a number");
    }
}

TEST(TimedSpeakerSegmentTest, EverySegmentGetsItsOwnId) {
    const TimedSpeakerSegment a("1", {0.5f}, 1.0f, 3.5f, 0.8f);
    const TimedSpeakerSegment b("1", {0.5f}, 1.0f, 3.5f, 0.8f);
    EXPECT_NE(a.id, b.id);
    EXPECT_FLOAT_EQ(a.durationSeconds(), 2.5f);
}

}  // namespace
}  // namespace rarivoredu
