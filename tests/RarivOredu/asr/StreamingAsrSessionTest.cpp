#include "RarivOredu/asr/StreamingAsrSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/asr/StreamingAsrError.h"
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
using testsupport::AsrFixtureModels;
using testsupport::AsrFixtureScript;
using testsupport::markedAudio;

// Fixture models in the default model folder of a private data folder, and no hub to fall back on.
class StreamingAsrSessionTest : public ::testing::Test {
protected:
    StreamingAsrSessionTest() : models(AsrFixtureScript::of({{2, 11}, {14, 12}, {30, 13}})) {
        environment.set("XDG_DATA_HOME", data.path().string());
        models.writeBundles(AsrModels::defaultCacheDirectory());
    }

    std::size_t logged(const std::string& text, const std::string& category = "StreamingSession") const {
        return log.matching(text, category).size();
    }

    testsupport::HubSandbox hub;
    testsupport::TemporaryDirectory data;
    testsupport::ScopedEnvironment environment;
    AsrFixtureModels models;
    platform::LogCapture log;
};

TEST_F(StreamingAsrSessionTest, TwoSourcesRecogniseAtOnceOnOneLoadedModelSet) {
    StreamingAsrSession session;
    auto microphone = session.createStream(AudioSource::microphone, kSmallWindows);
    auto system = session.createStream(AudioSource::system, StreamingAsrConfig::shortContext());
    ASSERT_TRUE(microphone && system);
    EXPECT_NE(microphone, system);
    EXPECT_EQ(microphone->audioSource(), AudioSource::microphone);
    EXPECT_EQ(system->audioSource(), AudioSource::system);
    EXPECT_EQ(system->config(), StreamingAsrConfig::shortContext());
    // Loaded once, before the first stream.
    EXPECT_EQ(logged("Loading ASR models for session..."), 1u);
    EXPECT_EQ(logged("ASR models loaded successfully"), 1u);
    EXPECT_EQ(logged("Loaded Preprocessor.mlmodelc", "AsrModels"), 1u);
    const auto entries = log.matching("", "StreamingSession");
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[0].message, "Created new StreamingAsrSession");
    EXPECT_EQ(entries[3].message, "Creating new stream for source: microphone");

    // Different audio on each, fed at the same time from two threads.
    const auto audio = markedAudio(3 * 15360);
    const std::vector<float> firstWindowOnly(audio.begin(), audio.begin() + 15360);
    std::thread micFeeder([&] { feed(*microphone, audio); });
    std::thread systemFeeder([&] { feed(*system, firstWindowOnly); });
    micFeeder.join();
    systemFeeder.join();
    EXPECT_EQ(microphone->finish(), "t11 t12 t13");
    EXPECT_EQ(system->finish(), "t11");
    EXPECT_EQ(session.activeStreams().size(), 2u);
}

TEST_F(StreamingAsrSessionTest, ASourceKeepsItsStreamWhateverConfigurationComesNext) {
    StreamingAsrSession session;
    auto first = session.createStream(AudioSource::microphone, kSmallWindows);
    auto again = session.createStream(AudioSource::microphone, StreamingAsrConfig::longContext());
    EXPECT_EQ(first, again);
    EXPECT_EQ(again->config(), kSmallWindows);
    EXPECT_EQ(logged("Stream already exists for source: microphone. Returning existing stream."), 1u);
    EXPECT_EQ(session.stream(AudioSource::microphone), first);
    EXPECT_EQ(session.stream(AudioSource::system), nullptr);
}

TEST_F(StreamingAsrSessionTest, OverlappingCallsForOneSourceShareTheStreamTheFirstCreates) {
    StreamingAsrSession session;
    session.initialize();
    // The first call waits in its decoder priming until the second one waits for it.
    std::atomic<bool> holding{false};
    models.setDecoderHook([&](int token) {
        if (token != 0 || holding.exchange(true)) return;
        asrtest::waitUntil([&] {
            return log.contains("Waiting for the stream being created for source: system", "StreamingSession");
        });
    });
    std::shared_ptr<StreamingAsrManager> first;
    std::thread creator([&] { first = session.createStream(AudioSource::system, kSmallWindows); });
    ASSERT_TRUE(asrtest::waitUntil([&] { return holding.load(); }));
    auto second = session.createStream(AudioSource::system, kSmallWindows);
    creator.join();
    models.setDecoderHook({});
    EXPECT_EQ(first, second);
    EXPECT_EQ(logged("Creating new stream for source: system"), 1u);
    EXPECT_EQ(logged("Stream already exists for source: system. Returning existing stream."), 1u);
    EXPECT_EQ(logged("Initialized StreamingAsrManager", "StreamingASR"), 1u);
}

TEST_F(StreamingAsrSessionTest, ARemovedStreamIsForgottenButKeepsWorking) {
    StreamingAsrSession session;
    auto manager = session.createStream(AudioSource::microphone, kSmallWindows);
    session.removeStream(AudioSource::system);
    EXPECT_EQ(logged("Removed stream for source"), 0u);
    session.removeStream(AudioSource::microphone);
    EXPECT_EQ(logged("Removed stream for source: microphone"), 1u);
    EXPECT_EQ(session.stream(AudioSource::microphone), nullptr);
    EXPECT_TRUE(session.activeStreams().empty());
    feed(*manager, markedAudio(15360));
    EXPECT_EQ(manager->finish(), "t11");
    // A new one for the source, without loading again.
    EXPECT_NE(session.createStream(AudioSource::microphone, kSmallWindows), manager);
    EXPECT_EQ(logged("Loading ASR models for session..."), 1u);
    session.initialize();
    EXPECT_EQ(logged("Models already loaded, skipping initialization"), 1u);
}

TEST_F(StreamingAsrSessionTest, CleanupCancelsEveryStreamAndTheNextStreamLoadsAgain) {
    StreamingAsrSession session;
    auto microphone = session.createStream(AudioSource::microphone, kSmallWindows);
    auto system = session.createStream(AudioSource::system, kSmallWindows);
    auto updates = system->transcriptionUpdates();
    session.cleanup();
    EXPECT_FALSE(updates.next());  // cancelled: its update stream ended
    EXPECT_EQ(log.matching("StreamingAsrManager cancelled", "StreamingASR").size(), 2u);
    EXPECT_EQ(logged("Cancelled stream for source: microphone"), 1u);
    EXPECT_EQ(logged("Cancelled stream for source: system"), 1u);
    EXPECT_EQ(logged("StreamingAsrSession cleanup complete"), 1u);
    EXPECT_TRUE(session.activeStreams().empty());
    session.createStream(AudioSource::microphone, kSmallWindows);
    EXPECT_EQ(logged("Loading ASR models for session..."), 2u);
}

TEST_F(StreamingAsrSessionTest, AStreamThatCannotBeMadeLeavesNothingBehind) {
    StreamingAsrSession session;
    try {
        session.createStream(AudioSource::microphone, StreamingAsrConfig(0.0, 0.8));
        ADD_FAILURE();
    } catch (const StreamingAsrError& e) {
        EXPECT_EQ(e.kind(), StreamingAsrError::Kind::invalidConfiguration);
    }
    models.setFailOnPrimingToken(true);
    EXPECT_ANY_THROW(session.createStream(AudioSource::microphone, kSmallWindows));
    models.setFailOnPrimingToken(false);
    EXPECT_TRUE(session.activeStreams().empty());
    EXPECT_TRUE(session.createStream(AudioSource::microphone, kSmallWindows));

    // Without models, nothing is loaded or stored.
    std::filesystem::remove_all(AsrModels::defaultCacheDirectory());
    StreamingAsrSession empty;
    EXPECT_ANY_THROW(empty.createStream(AudioSource::system, kSmallWindows));
    EXPECT_TRUE(empty.activeStreams().empty());
    EXPECT_EQ(logged("ASR models loaded successfully"), 1u);
}

}  // namespace
}  // namespace rarivoredu
