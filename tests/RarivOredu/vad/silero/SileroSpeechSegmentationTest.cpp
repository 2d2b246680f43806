#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/vad/VadManager.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/vad/SileroSpeech.h"

namespace rarivoredu {
namespace {

using testsupport::SileroSpeech;

// Where the detector puts the boundaries of speech: without padding, which widens every region by
// design (a phrase ending just after a chunk starts would otherwise end 0.1 s beyond one chunk).
VadSegmentationConfig unpadded() {
    auto config = VadSegmentationConfig::defaultConfig();
    config.speechPadding = 0;
    return config;
}

// Segment boundaries lie this close to where a phrase starts or ends.
constexpr double boundaryTolerance = 0.3;
// A streaming event's position lies within one chunk of the phrase's boundary.
constexpr double chunkSeconds = 4096.0 / 16000.0;

class SileroSpeechSegmentationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testsupport::TemporaryDirectory;
        manager_ = new VadManager(VadConfig::defaultConfig(),
                                  platform::MLModel::modelWithContentsOfURL(SileroSpeech::importBundle(folder_->path())));
        speech_ = new std::vector<SileroSpeech>(SileroSpeech::all());
    }
    static void TearDownTestSuite() {
        delete manager_;
        delete speech_;
        delete folder_;
    }

    static testsupport::TemporaryDirectory* folder_;
    static VadManager* manager_;
    static std::vector<SileroSpeech>* speech_;
};

testsupport::TemporaryDirectory* SileroSpeechSegmentationTest::folder_ = nullptr;
VadManager* SileroSpeechSegmentationTest::manager_ = nullptr;
std::vector<SileroSpeech>* SileroSpeechSegmentationTest::speech_ = nullptr;

TEST_F(SileroSpeechSegmentationTest, EachPhraseIsOneSegmentBoundedByItsPauses) {
    for (const auto& speech : *speech_) {
        SCOPED_TRACE(speech.name);
        // With the defaults: one segment per phrase holding all of it, so none lies in a pause.
        const auto segments = manager_->segmentSpeech(speech.samples);
        ASSERT_EQ(segments.size(), speech.phrases.size());
        const auto boundaries = manager_->segmentSpeech(speech.samples, unpadded());
        ASSERT_EQ(boundaries.size(), speech.phrases.size());
        for (std::size_t i = 0; i < segments.size(); ++i) {
            const auto& phrase = speech.phrases[i];
            SCOPED_TRACE(phrase.text);
            EXPECT_LE(segments[i].startTime, phrase.start);
            EXPECT_GE(segments[i].endTime, phrase.end);
            EXPECT_NEAR(boundaries[i].startTime, phrase.start, boundaryTolerance);
            EXPECT_NEAR(boundaries[i].endTime, phrase.end, boundaryTolerance);
        }
    }
}

TEST_F(SileroSpeechSegmentationTest, TheStreamingDetectorReportsEachPhrasesStartAndEnd) {
    for (const auto& speech : *speech_) {
        SCOPED_TRACE(speech.name);
        auto state = VadManager::makeStreamState();
        std::vector<VadStreamEvent> events;
        const std::span<const float> samples(speech.samples);
        for (std::size_t start = 0; start < samples.size(); start += 4096) {
            const auto result = manager_->processStreamingChunk(samples.subspan(start, 4096), state, unpadded(),
                                                                true, 3);
            if (result.event) events.push_back(*result.event);
            state = result.state;
        }
        if (const auto last = VadManager::finishStream(state, true, 3)) events.push_back(*last);
        ASSERT_EQ(events.size(), 2 * speech.phrases.size());
        for (std::size_t i = 0; i < speech.phrases.size(); ++i) {
            const auto& phrase = speech.phrases[i];
            SCOPED_TRACE(phrase.text);
            const auto& start = events[2 * i];
            const auto& end = events[2 * i + 1];
            ASSERT_TRUE(start.isStart());
            ASSERT_TRUE(end.isEnd());
            EXPECT_NEAR(*start.time, phrase.start, chunkSeconds);
            EXPECT_NEAR(*end.time, phrase.end, chunkSeconds);
        }
    }
}

}  // namespace
}  // namespace rarivoredu
