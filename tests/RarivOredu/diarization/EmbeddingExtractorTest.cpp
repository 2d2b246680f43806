#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/diarization/EmbeddingExtractor.h"
#include "RarivOredu/shared/DiarizerError.h"
#include "tests/support/diarization/DiarizationFixtureModels.h"

namespace rarivoredu {
namespace {

using testsupport::DiarizationFixtureModels;
using testsupport::DiarizationFixtureScript;

constexpr int frames = DiarizationFixtureModels::frames;

// Voice 0 speaks throughout; its embedding is 1, 2, 3, …
class EmbeddingExtractorTest : public ::testing::Test {
protected:
    EmbeddingExtractorTest() : models(script()), extractor(models.embedding()) {}

    static DiarizationFixtureScript script() {
        DiarizationFixtureScript s;
        std::vector<float> voice(256);
        for (std::size_t i = 0; i < voice.size(); ++i) voice[i] = static_cast<float>(i + 1);
        s.voices = {voice};
        s.turns = {{0, 10, 1}};
        return s;
    }
    // A mask with `count` frames of `value` from frame 100 on.
    static std::vector<float> mask(int count, float value = 1.0f) {
        std::vector<float> m(frames, 0.0f);
        for (int f = 100; f < 100 + count; ++f) m[static_cast<std::size_t>(f)] = value;
        return m;
    }

    platform::LogCapture log;
    DiarizationFixtureModels models;
    EmbeddingExtractor extractor;
    const std::vector<float> audio = script().audio(10);
    std::vector<std::vector<float>> embeddings;
};

TEST_F(EmbeddingExtractorTest, OnlySpeakersWithEnoughActivityRunTheModel) {
    EXPECT_TRUE(log.contains("EmbeddingExtractor initialized with ANE-aligned buffers", "EmbeddingExtractor"));
    const std::vector<float> zeros(256, 0.0f);
    const std::vector<float> voice = script().voices[0];

    extractor.extractEmbeddings(audio, {mask(19, 0.5f), mask(20, 0.5f)}, 10.0f, embeddings);  // 9.5 and 10
    ASSERT_EQ(embeddings.size(), 2u);
    EXPECT_EQ(embeddings[0], zeros);
    EXPECT_EQ(embeddings[1], voice);
    ASSERT_EQ(models.embeddingRuns().size(), 1u);
    EXPECT_FLOAT_EQ(models.embeddingRuns()[0].maskSum, 10.0f);

    models.clearObservations();
    extractor.extractEmbeddings(audio, {mask(3), mask(40), mask(0)}, 10.0f, embeddings);
    ASSERT_EQ(embeddings.size(), 3u);
    EXPECT_EQ(embeddings[0], zeros);
    EXPECT_EQ(embeddings[1], voice);
    EXPECT_EQ(embeddings[2], zeros);
    ASSERT_EQ(models.embeddingRuns().size(), 1u);
    EXPECT_FLOAT_EQ(models.embeddingRuns()[0].maskSum, 40.0f);
}

TEST_F(EmbeddingExtractorTest, TheMaskBufferIsReusedAndHoldsOneSpeakerAtATime) {
    extractor.extractEmbeddings(audio, {mask(30), mask(50)}, 10.0f, embeddings);
    extractor.extractEmbeddings(audio, {mask(20)}, 10.0f, embeddings);
    const auto runs = models.embeddingRuns();
    ASSERT_EQ(runs.size(), 3u);
    for (const auto& run : runs) {
        EXPECT_TRUE(run.otherRowsZero);
        EXPECT_EQ(run.maskData, runs[0].maskData);
    }
    EXPECT_FLOAT_EQ(runs[0].maskSum, 30);
    EXPECT_FLOAT_EQ(runs[1].maskSum, 50);
    EXPECT_FLOAT_EQ(runs[2].maskSum, 20);
}

TEST_F(EmbeddingExtractorTest, MissingOutputGivesZerosAndAShortOneIsAnError) {
    DiarizationFixtureModels::Faults faults;
    faults.omitEmbedding = true;
    models.setFaults(faults);
    extractor.extractEmbeddings(audio, {mask(30)}, 10.0f, embeddings);
    EXPECT_EQ(embeddings[0], std::vector<float>(256, 0.0f));

    faults.omitEmbedding = false;
    faults.embeddingValues = 128;
    models.setFaults(faults);
    try {
        extractor.extractEmbeddings(audio, {mask(30)}, 10.0f, embeddings);
        ADD_FAILURE() << "a short embedding was taken";
    } catch (const DiarizerError& error) {
        EXPECT_EQ(error.kind(), DiarizerError::Kind::processingFailed);
        EXPECT_STREQ(error.what(), "Processing failed: Embedding output holds 128 values, fewer than 256");
    }
}

}  // namespace
}  // namespace rarivoredu
