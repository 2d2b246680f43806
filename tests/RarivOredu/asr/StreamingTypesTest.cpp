#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/StreamingAsrConfig.h"
#include "RarivOredu/asr/StreamingAsrError.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "RarivOredu/asr/StreamingTranscriptionUpdate.h"

namespace rarivoredu {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(StreamingAsrConfigTest, PresetsAndShortHandsCarryTheirValues) {
    const auto longContext = StreamingAsrConfig::longContext();
    EXPECT_EQ(longContext, StreamingAsrConfig(15.0, 2.0, 10.0, 2.0, 10.0, 0.85));
    EXPECT_EQ(StreamingAsrConfig::shortContext(), StreamingAsrConfig(11.0, 1.0, 2.0, 2.0, 10.0, 0.8));
    EXPECT_EQ(StreamingAsrConfig(4.0, 0.7), StreamingAsrConfig(4.0, 1.0, 10.0, 2.0, 10.0, 0.7));
    EXPECT_EQ(StreamingAsrConfig(1.5, 0.7).hypothesisChunkSeconds, 0.75);
    EXPECT_EQ(StreamingAsrConfig::custom(1.5, 0.7), StreamingAsrConfig(1.5, 0.7));
}

TEST(StreamingAsrConfigTest, WindowsAreWholeFramesWithinTheRecognisersFifteenSeconds) {
    struct Case {
        const char* name;
        StreamingAsrConfig config;
        int chunk, left, right;  // frames
    };
    const Case cases[] = {
        {"short context: 11 s is 137.5 frames", StreamingAsrConfig::shortContext(), 137, 25, 25},
        // 15 s leave no room for context.
        {"long context", StreamingAsrConfig::longContext(), 187, 0, 0},
        {"the right context is kept first", StreamingAsrConfig(12.0, 1.0, 10.0, 2.0, 10.0, 0.8), 150, 12, 25},
        {"one frame", StreamingAsrConfig(0.08, 0.0, 0.0, 0.0, 0.0, 0.0), 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.config.validate();
        EXPECT_EQ(c.config.chunkFrames(), c.chunk);
        EXPECT_EQ(c.config.leftContextFrames(), c.left);
        EXPECT_EQ(c.config.rightContextFrames(), c.right);
    }
}

TEST(StreamingAsrConfigTest, InvalidValuesAreRefusedBeforeAnyAudio) {
    struct Case {
        StreamingAsrConfig config;
        const char* description;
    };
    const Case cases[] = {
        {StreamingAsrConfig(0.0, 0.8), "Invalid configuration: chunkSeconds must be between 0.08 and 15 seconds, got 0.0"},
        {StreamingAsrConfig(0.05, 0.8), "Invalid configuration: chunkSeconds must be between 0.08 and 15 seconds, got 0.05"},
        {StreamingAsrConfig(15.5, 0.8), "Invalid configuration: chunkSeconds must be between 0.08 and 15 seconds, got 15.5"},
        {StreamingAsrConfig(kNaN, 0.8), "Invalid configuration: chunkSeconds must be a finite number, got nan"},
        {StreamingAsrConfig(11.0, 1.0, -2.0, 2.0, 10.0, 0.8),
         "Invalid configuration: leftContextSeconds must not be negative, got -2.0"},
        {StreamingAsrConfig(11.0, 1.0, 2.0, -0.5, 10.0, 0.8),
         "Invalid configuration: rightContextSeconds must not be negative, got -0.5"},
        {StreamingAsrConfig(11.0, 1.0, kInfinity, 2.0, 10.0, 0.8),
         "Invalid configuration: leftContextSeconds must be a finite number, got inf"},
        {StreamingAsrConfig(11.0, kNaN, 2.0, 2.0, 10.0, 0.8),
         "Invalid configuration: hypothesisChunkSeconds must be a finite number, got nan"},
        {StreamingAsrConfig(11.0, 1.0, 2.0, 2.0, -kInfinity, 0.8),
         "Invalid configuration: minContextForConfirmation must be a finite number, got -inf"},
        {StreamingAsrConfig(11.0, 1.0, 2.0, 2.0, 10.0, kNaN),
         "Invalid configuration: confirmationThreshold must be a finite number, got nan"},
    };
    platform::LogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        try {
            StreamingAsrManager manager(c.config);
            ADD_FAILURE();
        } catch (const StreamingAsrError& e) {
            EXPECT_EQ(e.kind(), StreamingAsrError::Kind::invalidConfiguration);
            EXPECT_STREQ(e.what(), c.description);
        }
    }
    EXPECT_FALSE(log.contains("Initialized StreamingAsrManager"));
}

TEST(StreamingAsrConfigTest, TheManagerNamesItsConfigurationAndShortenedContexts) {
    platform::LogCapture log;
    StreamingAsrManager shortContext(StreamingAsrConfig::shortContext());
    EXPECT_TRUE(log.contains("Initialized StreamingAsrManager with config: chunk=11.0s left=2.0s right=2.0s",
                             "StreamingASR"));
    EXPECT_FALSE(log.contains("Window contexts shortened"));
    StreamingAsrManager longContext(StreamingAsrConfig::longContext());
    EXPECT_TRUE(log.contains("Initialized StreamingAsrManager with config: chunk=15.0s left=10.0s right=2.0s"));
    EXPECT_TRUE(log.contains("Window contexts shortened to fit the recogniser's 15 s: left=0.0s right=0.0s",
                             "StreamingASR"));
}

TEST(StreamingAsrErrorTest, EveryCaseDescribesItself) {
    const auto failure = std::make_exception_ptr(ASRError::processingFailed("no frames"));
    const std::pair<StreamingAsrError, const char*> cases[] = {
        {StreamingAsrError::streamAlreadyExists(AudioSource::microphone), "A stream already exists for source: microphone"},
        {StreamingAsrError::streamAlreadyExists(AudioSource::system), "A stream already exists for source: system"},
        {StreamingAsrError::audioBufferProcessingFailed(failure),
         "Audio buffer processing failed: ASR processing failed: no frames"},
        {StreamingAsrError::audioConversionFailed(std::make_exception_ptr(std::runtime_error("bad rate"))),
         "Audio conversion failed: bad rate"},
        {StreamingAsrError::modelProcessingFailed(failure), "Model processing failed: ASR processing failed: no frames"},
        {StreamingAsrError::modelProcessingFailed(std::make_exception_ptr(42)), "Model processing failed: Unknown error"},
        {StreamingAsrError::invalidConfiguration("chunk"), "Invalid configuration: chunk"},
        {StreamingAsrError::modelsNotLoaded(), "ASR models have not been loaded"},
        {StreamingAsrError::bufferOverflow(), "Audio buffer overflow occurred"},
    };
    for (const auto& [error, description] : cases) {
        EXPECT_STREQ(error.what(), description);
        EXPECT_EQ(error.errorDescription(), description);
    }
    EXPECT_EQ(StreamingAsrError::modelProcessingFailed(failure).underlyingError(), failure);
    EXPECT_EQ(StreamingAsrError::streamAlreadyExists(AudioSource::system).source(), AudioSource::system);
}

TEST(StreamingTranscriptionUpdateTest, TokenTextsFollowTheTimings) {
    StreamingTranscriptionUpdate update;
    update.tokenTimings = {{" hel", 1, 0.0, 0.08, 0.9f}, {"lo", 2, 0.08, 0.16, 0.8f}};
    EXPECT_EQ(update.tokenTexts(), (std::vector<std::string>{" hel", "lo"}));
    EXPECT_TRUE(StreamingTranscriptionUpdate{}.tokenTexts().empty());
}

}  // namespace
}  // namespace rarivoredu
