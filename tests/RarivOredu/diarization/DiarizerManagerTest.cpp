#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/diarization/CoreMLDiarizer.h"
#include "RarivOredu/diarization/DiarizerManager.h"
#include "RarivOredu/diarization/SpeakerUtilities.h"
#include "RarivOredu/shared/DiarizerError.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/diarization/DiarizationFixtureModels.h"

namespace rarivoredu {
namespace {

using testsupport::DiarizationFixtureModels;
using testsupport::DiarizationFixtureScript;

constexpr unsigned A = 1;
constexpr unsigned B = 2;
constexpr unsigned C = 4;
constexpr double oneFrame = 0.016875;

std::vector<float> axisVoice(std::size_t from, std::size_t to) {
    std::vector<float> voice(256, 0.0f);
    for (std::size_t i = from; i < to; ++i) voice[i] = 1.0f;
    return voice;
}

// 35 s: A, B across the first chunk boundary, A and B at once, silence across the second
// boundary, B then A (B speaks first in that chunk), a short B blip, and A in the padded last chunk.
DiarizationFixtureScript conversation() {
    DiarizationFixtureScript script;
    script.voices = {axisVoice(0, 86), axisVoice(86, 171), axisVoice(171, 256)};
    script.turns = {{1.0, 6.0, A},   {7.5, 12.0, B},  {12.0, 14.0, A | B}, {14.0, 18.0, A},
                    {22.0, 25.0, B}, {25.0, 28.0, A}, {29.0, 29.6, B},     {30.0, 32.5, A}};
    return script;
}

struct ExpectedSegment {
    std::string speakerId;
    double start;
    double end;
};

void expectSegments(const std::vector<TimedSpeakerSegment>& segments, const std::vector<ExpectedSegment>& expected) {
    ASSERT_EQ(segments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(segments[i].speakerId, expected[i].speakerId);
        // The frames sample the script once every 16.875 ms.
        EXPECT_NEAR(segments[i].startTimeSeconds, expected[i].start, oneFrame);
        EXPECT_NEAR(segments[i].endTimeSeconds, expected[i].end, oneFrame);
        EXPECT_EQ(segments[i].embedding.size(), 256u);
        EXPECT_GT(segments[i].qualityScore, 0.0f);
    }
}

const std::vector<ExpectedSegment> conversationSegments = {
    {"1", 1.0, 6.0},
    {"2", 7.5, 9.939375},  // the chunk's frames end there
    {"2", 10.0, 14.0},     // through the overlap, and a new segment in the new chunk
    {"1", 12.0, 18.0},
    {"2", 22.0, 25.0},
    {"1", 25.0, 28.0},     // the 0.6 s blip of B is too short to keep
    {"1", 30.0, 32.5},
};

TEST(DiarizerManagerTest, ConversationFromModelsServedByTheHub) {
    DiarizationFixtureModels fixture(conversation());
    testsupport::HubSandbox sandbox;
    for (const auto& [name, files] : fixture.bundles()) {
        sandbox.addBundle("ViridErevidaro/speaker-diarization-coreml", name, files);
    }
    const auto models = CoreMLDiarizer::downloadModels(sandbox.modelsDirectory() / "speaker-diarization-coreml");
    EXPECT_GT(models.downloadDuration, 0);

    DiarizerConfig config;
    config.debugMode = true;
    DiarizerManager manager(config);
    manager.initialize(models);
    EXPECT_TRUE(manager.isAvailable());
    EXPECT_EQ(manager.initializationTimings(), std::make_pair(models.downloadDuration, models.compilationDuration));

    const auto audio = conversation().audio(35);
    const auto result = manager.diarize(audio);
    expectSegments(result.segments, conversationSegments);
    EXPECT_EQ(fixture.segmentationRuns(), 4);  // 0, 10, 20 and 30 s

    ASSERT_TRUE(result.speakerDatabase.has_value());
    ASSERT_EQ(result.speakerDatabase->size(), 2u);
    EXPECT_LT(SpeakerUtilities::cosineDistance(result.speakerDatabase->at("1"), axisVoice(0, 86)), 1e-5f);
    EXPECT_LT(SpeakerUtilities::cosineDistance(result.speakerDatabase->at("2"), axisVoice(86, 171)), 1e-5f);

    ASSERT_TRUE(result.timings.has_value());
    const auto& timings = *result.timings;
    EXPECT_DOUBLE_EQ(timings.modelDownloadSeconds, models.downloadDuration);
    EXPECT_DOUBLE_EQ(timings.modelCompilationSeconds, models.compilationDuration);
    EXPECT_EQ(timings.audioLoadingSeconds, 0);
    EXPECT_GT(timings.segmentationSeconds, 0);
    EXPECT_GT(timings.embeddingExtractionSeconds, 0);
    EXPECT_DOUBLE_EQ(timings.totalInferenceSeconds,
                     timings.segmentationSeconds + timings.embeddingExtractionSeconds + timings.speakerClusteringSeconds);
    const auto json = timings.toJSON();
    EXPECT_EQ(json.size(), 9u);
    EXPECT_DOUBLE_EQ(PipelineTimings::fromJSON(json).totalProcessingSeconds, timings.totalProcessingSeconds);

    // The database outlives the call: the same people are recognised again.
    const auto again = manager.diarize(audio);
    expectSegments(again.segments, conversationSegments);
    EXPECT_EQ(manager.speakerManager().speakerCount(), 2u);
    EXPECT_EQ(manager.speakerManager().getSpeaker("1")->name, "Speaker 1");
}

TEST(DiarizerManagerTest, WithoutDebugModeOnlySegments) {
    DiarizationFixtureModels fixture(conversation());
    DiarizerManager manager;
    manager.initialize(fixture.diarizerModels());
    const auto result = manager.diarize(conversation().audio(35));
    EXPECT_EQ(result.segments.size(), conversationSegments.size());
    EXPECT_FALSE(result.speakerDatabase.has_value());
    EXPECT_FALSE(result.timings.has_value());
}

TEST(DiarizerManagerTest, NothingRunsWithoutModelsOrWithARejectedConfiguration) {
    DiarizationFixtureModels fixture(conversation());
    const auto audio = conversation().audio(12);
    const auto expectError = [&](DiarizerManager& manager, std::int64_t sampleRate, DiarizerError::Kind kind,
                                 const std::string& text) {
        platform::LogCapture log;
        try {
            manager.diarize(audio, sampleRate);
            ADD_FAILURE() << "diarized: " << text;
        } catch (const DiarizerError& error) {
            EXPECT_EQ(error.kind(), kind);
            EXPECT_EQ(error.what(), text);
        }
        // A rejected configuration is logged once on the diarizer's logger.
        if (kind == DiarizerError::Kind::invalidConfiguration) {
            const auto logged = log.matching(text, "Diarizer");
            ASSERT_EQ(logged.size(), 1u) << text;
            EXPECT_EQ(logged[0].type, platform::OSLogType::error);
        }
        EXPECT_EQ(fixture.segmentationRuns(), 0);
        EXPECT_EQ(manager.speakerManager().speakerCount(), 0u);
    };

    DiarizerManager manager;
    EXPECT_FALSE(manager.isAvailable());
    EXPECT_EQ(manager.initializationTimings(), std::make_pair(0.0, 0.0));
    const std::string notInitialized = "Diarization system not initialized. Call initialize() first.";
    expectError(manager, 16000, DiarizerError::Kind::notInitialized, notInitialized);
    manager.initialize(fixture.diarizerModels());
    manager.cleanup();
    EXPECT_FALSE(manager.isAvailable());
    expectError(manager, 16000, DiarizerError::Kind::notInitialized, notInitialized);

    manager.initialize(fixture.diarizerModels());
    expectError(manager, 44100, DiarizerError::Kind::invalidConfiguration,
                "Invalid configuration: sample rate 44100 Hz; the diarizer takes 16000 Hz audio");

    struct Case {
        float chunkDuration;
        float chunkOverlap;
        std::string error;
    };
    const std::vector<Case> cases = {
        {10.5f, 0, "Invalid configuration: chunkDuration 10.5 s rounds to 11.0 s; chunks are 1 to 10 s, the length "
                   "the segmentation model takes"},
        {10, 10, "Invalid configuration: chunkOverlap 10.0 s rounds to 10.0 s; it must be 0 s or more and less than "
                 "the chunk (10 s) so that each chunk moves on"},
        {4, 6, "Invalid configuration: chunkOverlap 6.0 s rounds to 6.0 s; it must be 0 s or more and less than the "
               "chunk (4 s) so that each chunk moves on"},
    };
    for (const auto& c : cases) {
        DiarizerConfig config;
        config.chunkDuration = c.chunkDuration;
        config.chunkOverlap = c.chunkOverlap;
        DiarizerManager rejecting(config);
        rejecting.initialize(fixture.diarizerModels());
        expectError(rejecting, 16000, DiarizerError::Kind::invalidConfiguration, c.error);
    }
}

TEST(DiarizerManagerTest, ChunksAndPadding) {
    struct Case {
        double seconds;
        float chunkDuration;
        float chunkOverlap;
        int chunks;
    };
    const std::vector<Case> cases = {
        {0, 10, 0, 0}, {10, 10, 0, 1}, {25, 10, 0, 3}, {25, 10.4f, 0, 3}, {12, 10, 5, 3}, {12, 5, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seconds << " s in " << c.chunkDuration << " s chunks");
        DiarizationFixtureModels fixture(conversation());
        DiarizerConfig config;
        config.chunkDuration = c.chunkDuration;
        config.chunkOverlap = c.chunkOverlap;
        config.debugMode = true;
        DiarizerManager manager(config);
        manager.initialize(fixture.diarizerModels());
        const auto result = manager.diarize(conversation().audio(c.seconds));
        EXPECT_EQ(fixture.segmentationRuns(), c.chunks);
        if (c.seconds == 0) {
            EXPECT_TRUE(result.segments.empty());
            EXPECT_EQ(result.timings->totalInferenceSeconds, 0);
        }
    }

    // The last 5 s chunk is padded with silence: B stops where the recording stops.
    DiarizationFixtureModels fixture(conversation());
    DiarizerManager manager;
    manager.initialize(fixture.diarizerModels());
    expectSegments(manager.diarize(conversation().audio(25)).segments,
                   {{"1", 1.0, 6.0}, {"2", 7.5, 9.939375}, {"2", 10.0, 14.0}, {"1", 12.0, 18.0}, {"2", 22.0, 25.0}});
}

TEST(DiarizerManagerTest, ASpeakerNeedsMoreThanTheActivityThreshold) {
    DiarizationFixtureScript script = conversation();
    // Voice C for exactly 10 frames (frames 420 … 429 hear it), voice A for 11 frames.
    script.turns = {{1.0, 6.0, A}, {420 * oneFrame, 430 * oneFrame, C}};
    DiarizationFixtureModels fixture(script);
    DiarizerManager manager;
    manager.initialize(fixture.diarizerModels());
    const auto result = manager.diarize(script.audio(10));
    expectSegments(result.segments, {{"1", 1.0, 6.0}});
    EXPECT_EQ(manager.speakerManager().speakerCount(), 1u);
    // Its embedding is taken (10 frames reach the extraction threshold), but it gets no speaker.
    EXPECT_EQ(fixture.embeddingRuns().size(), 2u);

    script.turns = {{1.0, 6.0, A}, {420 * oneFrame, 431 * oneFrame, C}};
    DiarizationFixtureModels eleven(script);
    DiarizerManager second;
    second.initialize(eleven.diarizerModels());
    second.diarize(script.audio(10));
    EXPECT_EQ(second.speakerManager().speakerCount(), 1u);  // 0.19 s is too short to create a speaker
    second.initializeKnownSpeakers({std::make_shared<Speaker>("9", std::nullopt, axisVoice(171, 256))});
    second.diarize(script.audio(10));
    EXPECT_EQ(second.speakerManager().getSpeaker("9")->updateCount, 2);  // but enough to be recognised
}

TEST(DiarizerManagerTest, ModelFaultsEndTheRun) {
    DiarizationFixtureModels fixture(conversation());
    DiarizerManager manager;
    manager.initialize(fixture.diarizerModels());
    const auto audio = conversation().audio(12);

    DiarizationFixtureModels::Faults faults;
    faults.failSegmentation = true;
    fixture.setFaults(faults);
    EXPECT_THROW(manager.diarize(audio), platform::NSError);

    faults = {};
    faults.omitSegments = true;
    fixture.setFaults(faults);
    EXPECT_THROW(manager.diarize(audio), DiarizerError);

    faults = {};
    faults.embeddingValues = 100;
    fixture.setFaults(faults);
    try {
        manager.diarize(audio);
        ADD_FAILURE() << "a short embedding was taken";
    } catch (const DiarizerError& error) {
        EXPECT_STREQ(error.what(), "Processing failed: Embedding output holds 100 values, fewer than 256");
    }
    EXPECT_EQ(manager.speakerManager().speakerCount(), 0u);

    fixture.setFaults({});
    EXPECT_EQ(manager.diarize(audio).segments.size(), 3u);
}

TEST(DiarizerManagerTest, ValidationIsOffered) {
    DiarizerManager manager;
    EXPECT_FALSE(manager.validateAudio(std::vector<float>{}).isValid);
    EXPECT_TRUE(manager.validateEmbedding(axisVoice(0, 10)));
    EXPECT_FLOAT_EQ(DiarizerManager::calculateEmbeddingQuality(axisVoice(0, 25)), 0.5f);
    EXPECT_FLOAT_EQ(DiarizerManager::calculateEmbeddingQuality(axisVoice(0, 200)), 1.0f);
}

}  // namespace
}  // namespace rarivoredu
