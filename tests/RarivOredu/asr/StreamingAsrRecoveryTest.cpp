#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/StreamingAsrError.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "tests/RarivOredu/asr/StreamingTestSupport.h"
#include "tests/support/HubSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureAudio.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace rarivoredu {
namespace {

using asrtest::feed;
using asrtest::kSmallWindows;
using platform::LogEntry;
using platform::OSLogType;
using testsupport::AsrFixtureModels;
using testsupport::AsrFixtureScript;
using testsupport::markedAudio;

std::vector<LogEntry> streamingEntries(const platform::LogCapture& log) {
    std::vector<LogEntry> entries;
    for (const auto& entry : log.entries()) {
        if (entry.category == "StreamingASR") entries.push_back(entry);
    }
    return entries;
}

bool logged(const platform::LogCapture& log, const LogEntry& expected) {
    const auto entries = streamingEntries(log);
    return std::any_of(entries.begin(), entries.end(), [&](const LogEntry& e) {
        return e.type == expected.type && e.message == expected.message;
    });
}

int primings(const AsrFixtureModels& models) {
    const auto fed = models.fedTokens();
    return static_cast<int>(std::count(fed.begin(), fed.end(), 0));
}

TEST(StreamingAsrRecoveryTest, EveryKindOfErrorIsLoggedAndRecognitionFailuresPrimeTheDecoderAgain) {
    const auto cause = std::make_exception_ptr(std::runtime_error("model gone"));
    struct Case {
        std::exception_ptr error;
        std::string warning;
        std::vector<LogEntry> lines;  // after the warning
        bool primes;
    };
    const LogEntry primed{OSLogType::info, "", "", "Successfully reset decoder state during error recovery"};
    const Case cases[] = {
        {std::make_exception_ptr(StreamingAsrError::streamAlreadyExists(AudioSource::system)),
         "A stream already exists for source: system",
         {{OSLogType::error, "", "", "Stream already exists - cannot recover automatically"}},
         false},
        {std::make_exception_ptr(StreamingAsrError::audioBufferProcessingFailed(cause)),
         "Audio buffer processing failed: model gone",
         {{OSLogType::info, "", "", "Recovering from audio buffer error"}},
         false},
        {std::make_exception_ptr(StreamingAsrError::audioConversionFailed(cause)),
         "Audio conversion failed: model gone",
         {{OSLogType::info, "", "", "Recovering from audio conversion error"}},
         false},
        {std::make_exception_ptr(StreamingAsrError::modelProcessingFailed(cause)),
         "Model processing failed: model gone",
         {{OSLogType::info, "", "", "Recovering from model processing error - resetting decoder state"}, primed},
         true},
        {std::make_exception_ptr(StreamingAsrError::invalidConfiguration("chunk")),
         "Invalid configuration: chunk",
         {{OSLogType::error, "", "", "Configuration error cannot be recovered automatically"}},
         false},
        {std::make_exception_ptr(StreamingAsrError::modelsNotLoaded()),
         "ASR models have not been loaded",
         {{OSLogType::error, "", "", "Models not loaded - cannot recover automatically"}},
         false},
        {std::make_exception_ptr(StreamingAsrError::bufferOverflow()),
         "Audio buffer overflow occurred",
         {{OSLogType::info, "", "", "Buffer overflow handled automatically"}},
         false},
        // Any other error: primed again, with no line of its own.
        {cause, "model gone", {primed}, true},
    };
    AsrFixtureModels models(AsrFixtureScript::of({{2, 11}}));
    StreamingAsrManager manager(kSmallWindows);
    {
        platform::LogCapture started;
        manager.start(models.asrModels());
        ASSERT_TRUE(asrtest::waitUntil([&] { return started.contains("Recognition task started"); }));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning);
        platform::LogCapture log;
        const int before = primings(models);
        manager.recover(c.error);
        const auto entries = streamingEntries(log);
        ASSERT_EQ(entries.size(), 1 + c.lines.size());
        EXPECT_EQ(entries[0].message, "Attempting error recovery for: " + c.warning);
        EXPECT_EQ(entries[0].type, AppLogger::osLogType(AppLogger::Level::warning));
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(entries[i + 1].type, c.lines[i].type);
            EXPECT_EQ(entries[i + 1].message, c.lines[i].message);
        }
        EXPECT_EQ(primings(models), before + (c.primes ? 1 : 0));
    }
    feed(manager, markedAudio(15360));
    EXPECT_EQ(manager.finish(), "t11");
}

TEST(StreamingAsrRecoveryTest, RecoveryOfAManagerNeverStartedDoesNothing) {
    StreamingAsrManager manager(kSmallWindows);
    platform::LogCapture log;
    manager.recover(std::make_exception_ptr(std::runtime_error("early")));
    const auto entries = streamingEntries(log);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].message, "Attempting error recovery for: early");
}

// Three windows; the second fails in the joint before its token.
AsrFixtureScript failingSecondWindow() {
    auto script = AsrFixtureScript::of({{2, 11}, {16, 12}, {26, 13}});
    script.failingFrame = 14;
    return script;
}

TEST(StreamingAsrRecoveryTest, AWindowThatFailsIsSkippedAndTheStreamGoesOn) {
    AsrFixtureModels models(failingSecondWindow());
    StreamingAsrManager manager(kSmallWindows);
    manager.start(models.asrModels());
    auto updates = manager.transcriptionUpdates();
    platform::LogCapture log;
    feed(manager, markedAudio(3 * 15360));
    EXPECT_EQ(manager.finish(), "t11 t13");
    EXPECT_EQ(asrtest::awaitUpdate(updates)->text, "t11");
    EXPECT_EQ(asrtest::awaitUpdate(updates)->text, "t13");
    EXPECT_FALSE(updates.tryNext());
    EXPECT_TRUE(logged(log, {OSLogType::error, "", "",
                             "Model processing error: Model processing failed: Joint failed at frame 14"}));
    EXPECT_TRUE(logged(log, {OSLogType::info, "", "", "Recovering from model processing error - resetting decoder state"}));
    EXPECT_TRUE(logged(log, {OSLogType::info, "", "", "Successfully reset decoder state during error recovery"}));
}

TEST(StreamingAsrRecoveryTest, ADecoderThatCannotBePrimedGetsANewRecogniserFromTheModelFolder) {
    struct Case {
        const char* name;
        bool modelsOnDisk;
        LogEntry outcome;
    };
    const Case cases[] = {
        {"models on disk", true,
         {OSLogType::info, "", "", "Successfully reinitialized ASR manager during error recovery"}},
        // Nothing on disk and nothing on the hub: the old recogniser goes on.
        {"no models to be had", false,
         {OSLogType::error, "", "", "Failed to reinitialize ASR manager during recovery: "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::HubSandbox hub;
        testsupport::TemporaryDirectory data;
        testsupport::ScopedEnvironment environment;
        environment.set("XDG_DATA_HOME", data.path().string());
        AsrFixtureModels models(failingSecondWindow());
        if (c.modelsOnDisk) models.writeBundles(AsrModels::defaultCacheDirectory());

        StreamingAsrManager manager(kSmallWindows);
        manager.start(models.asrModels());
        auto updates = manager.transcriptionUpdates();
        const auto audio = markedAudio(3 * 15360);
        feed(manager, audio, 0, 15360);
        ASSERT_EQ(asrtest::awaitUpdate(updates)->text, "t11");
        models.setFailOnPrimingToken(true);
        platform::LogCapture log;
        feed(manager, audio, 15360, audio.size());
        EXPECT_EQ(manager.finish(), "t11 t13");
        EXPECT_TRUE(logged(log, {OSLogType::error, "", "",
                                 "Failed to reset decoder state during recovery: Decoder refused the priming token"}));
        const auto entries = log.matching(c.outcome.message, "StreamingASR");
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].type, c.outcome.type);
    }
}

platform::AVAudioPCMBufferPtr int16Buffer(const std::vector<float>& samples, std::size_t from, std::size_t count,
                                          platform::AVAudioChannelCount channels) {
    const auto format = platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatInt16, 16000, channels, true);
    auto buffer = platform::AVAudioPCMBuffer::make(*format, static_cast<platform::AVAudioFrameCount>(count));
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            buffer->int16ChannelData()[0][i * channels + c] = static_cast<std::int16_t>(samples[from + i] * 32768.0f);
        }
    }
    buffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(count));
    return buffer;
}

TEST(StreamingAsrRecoveryTest, BuffersInOtherFormatsAreConvertedAndOneThatCannotBeIsSkipped) {
    AsrFixtureModels models(AsrFixtureScript::of({{2, 11}, {14, 12}, {26, 13}}));
    StreamingAsrManager manager(kSmallWindows);
    manager.start(models.asrModels());
    platform::LogCapture log;
    const auto audio = markedAudio(3 * 15360);
    for (std::size_t at = 0; at < audio.size(); at += 3840) {
        if (at == 15360) manager.streamAudio(int16Buffer(audio, at, 3840, 3));  // three channels, not float
        manager.streamAudio(int16Buffer(audio, at, 3840, 1));
    }
    EXPECT_EQ(manager.finish(), "t11 t12 t13");
    EXPECT_TRUE(logged(log, {OSLogType::error, "", "",
                             "Audio buffer processing error: Audio buffer processing failed: Failed to create "
                             "conversion buffer"}));
    EXPECT_TRUE(logged(log, {OSLogType::info, "", "", "Recovering from audio buffer error"}));
    EXPECT_EQ(log.matching("Attempting error recovery for: ", "StreamingASR").size(), 1u);
}

}  // namespace
}  // namespace rarivoredu
