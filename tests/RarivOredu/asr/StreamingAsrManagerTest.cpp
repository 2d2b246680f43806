#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/asr/StreamingAsrError.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "tests/RarivOredu/asr/AsrManagerTestSupport.h"
#include "tests/RarivOredu/asr/StreamingTestSupport.h"
#include "tests/support/asr/AsrFixtureAudio.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace rarivoredu {
namespace {

using asrtest::awaitUpdate;
using asrtest::batchText;
using asrtest::evenTokens;
using asrtest::expectedFor;
using asrtest::feed;
using asrtest::kSmallWindows;
using asrtest::queuedUpdates;
using asrtest::waitUntil;
using testsupport::AsrFixtureModels;
using testsupport::AsrFixtureScript;
using testsupport::markedAudio;
using testsupport::ScriptedToken;

const std::string kMark = "\xE2\x96\x81";

// Scripted models and a manager started on them.
struct Stream {
    Stream(std::vector<ScriptedToken> tokens, StreamingAsrConfig config)
        : models(AsrFixtureScript::of(std::move(tokens))), manager(config) {
        manager.start(models.asrModels(), AudioSource::microphone);
    }
    AsrFixtureModels models;
    StreamingAsrManager manager;
};

std::vector<ScriptedToken> confident(std::vector<ScriptedToken> tokens) {
    for (auto& t : tokens) t.probability = 0.9f;
    return tokens;
}

// 30 s (375 frames). Short-context windows decode the frames [0, 137), [137, 274) and
// [274, 375); the batch recogniser's seams lie at 140 and 280.
std::vector<ScriptedToken> thirtySecondScript() {
    auto tokens = confident(evenTokens(2, 130, 8, 100));
    auto add = [&](int frame, int id, std::string text, int bin = 1) {
        tokens.push_back({frame, id, std::move(text), bin, 0.9f});
    };
    add(133, 300, kMark + "before");
    add(136, 301, kMark + "hel");  // a word across the first seam
    add(137, 302, "lo");
    for (const auto& t : confident(evenTokens(140, 260, 9, 400))) tokens.push_back(t);
    add(266, 50, kMark + "no");
    add(268, 51, kMark + "way");
    add(272, 303, kMark + "over", 3);  // its duration runs across the second seam
    add(275, 304, kMark + "seam");
    add(277, 50, kMark + "no");  // spoken twice, on both sides of the seam
    add(279, 51, kMark + "way");
    for (const auto& t : confident(evenTokens(290, 370, 10, 500))) tokens.push_back(t);
    add(374, 305, kMark + "end");
    return tokens;
}

TEST(StreamingAsrManagerTest, ThirtySecondsFromSeveralThreadsGiveTheBatchTranscriptWithoutRepeats) {
    const auto tokens = thirtySecondScript();
    const auto expected = expectedFor(tokens).text;
    const auto audio = markedAudio(480000);
    Stream s(tokens, StreamingAsrConfig::shortContext());
    auto updates = s.manager.transcriptionUpdates();

    // A reader of the updates watches the confirmed text as the windows come.
    std::vector<StreamingTranscriptionUpdate> received;
    std::vector<std::string> confirmedSeen;
    std::thread reader([&] {
        while (auto update = updates.next()) {
            received.push_back(*update);
            confirmedSeen.push_back(s.manager.confirmedTranscript());
        }
    });
    // Three producers take turns, buffer by buffer, in stream order.
    std::mutex turn;
    std::size_t next = 0;
    std::vector<std::thread> producers;
    for (int p = 0; p < 3; ++p) {
        producers.emplace_back([&] {
            for (;;) {
                std::lock_guard lock(turn);
                if (next >= audio.size()) return;
                const auto end = std::min(next + 4096, audio.size());
                feed(s.manager, audio, next, end);
                next = end;
            }
        });
    }
    for (auto& producer : producers) producer.join();
    const auto final = s.manager.finish();
    s.manager.cancel();  // ends the update stream
    reader.join();

    EXPECT_EQ(final, expected);
    EXPECT_EQ(final, batchText(s.models, audio));
    EXPECT_EQ(s.models.audioLengths().front(), 207360);
    ASSERT_EQ(received.size(), 3u);

    // Every token once, in order, with its time on the stream.
    std::vector<std::int64_t> ids;
    std::vector<double> starts;
    for (const auto& update : received) {
        EXPECT_TRUE(update.isConfirmed);
        for (const auto& timing : update.tokenTimings) starts.push_back(timing.startTime);
        ids.insert(ids.end(), update.tokenIds.begin(), update.tokenIds.end());
    }
    std::vector<std::int64_t> expectedIds;
    for (const auto& t : tokens) expectedIds.push_back(t.tokenId);
    EXPECT_EQ(ids, expectedIds);
    EXPECT_EQ(starts, expectedFor(tokens).startTimes);
    EXPECT_EQ(received[1].text.substr(0, 2), "lo");

    // The confirmed text only grew, always as the start of the transcript, with the word split
    // by the first seam whole.
    std::string before;
    for (const auto& confirmed : confirmedSeen) {
        EXPECT_TRUE(confirmed.starts_with(before)) << confirmed;
        EXPECT_TRUE(final.starts_with(confirmed)) << confirmed;
        before = confirmed;
    }
    EXPECT_NE(before.find(" hello "), std::string::npos);
    EXPECT_EQ(s.manager.confirmedTranscript() + " " + s.manager.volatileTranscript(), final);
}

// ---------------------------------------------------------------------------------------------
// Windows

TEST(StreamingAsrManagerTest, WindowsFollowTheConfigurationAndDecodeEveryFrameOnce) {
    struct Case {
        const char* name;
        StreamingAsrConfig config;
        std::size_t samples;
        std::vector<int> windowLengths;  // samples of audio in each window, in order
        std::vector<ScriptedToken> extra;
    };
    const Case cases[] = {
        // Windows that start where the previous one stopped lose none of their first 20 frames.
        {"long context",
         StreamingAsrConfig::longContext(),
         640000,
         {239360, 239360, 161280},
         {{187, 900, kMark + "x"}, {188, 901, kMark + "y"}, {375, 902, kMark + "z"}, {380, 903, kMark + "v"}}},
        {"short context, shorter than one window", StreamingAsrConfig::shortContext(), 80000, {80000}, {}},
        // A long left context: later windows cover audio decoded before, which is not decoded again.
        {"ten seconds of left context",
         StreamingAsrConfig(4.0, 0.8),
         320000,
         {96000, 160000, 224000, 239360, 207360},
         {{50, 900, kMark + "x"}, {100, 901, kMark + "y"}, {149, 902, kMark + "z"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int frames = static_cast<int>(c.samples / 1280);
        auto tokens = evenTokens(3, frames - 2, 7, 100);
        tokens.insert(tokens.end(), c.extra.begin(), c.extra.end());
        std::stable_sort(tokens.begin(), tokens.end(), [](const auto& a, const auto& b) { return a.frame < b.frame; });
        const auto audio = markedAudio(c.samples);
        Stream s(tokens, c.config);
        feed(s.manager, audio);
        const auto final = s.manager.finish();
        EXPECT_EQ(s.models.audioLengths(), c.windowLengths);
        EXPECT_EQ(final, expectedFor(tokens).text);
        EXPECT_EQ(final, batchText(s.models, audio));
    }
}

TEST(StreamingAsrManagerTest, ConfirmationNeedsContextAndAConfidentLaterWindow) {
    // Windows of 12 frames without context; confirmation from 2 s of audio at confidence 0.8.
    const StreamingAsrConfig config(0.96, 0.5, 0.0, 0.0, 2.0, 0.8);
    auto word = [](int frame, int id, std::string text, float probability) {
        return ScriptedToken{frame, id, std::move(text), 1, probability};
    };
    Stream s({word(2, 11, kMark + "one", 0.3f), word(14, 12, kMark + "two", 0.9f), word(35, 13, kMark + "thr", 0.9f),
              word(36, 14, "ee", 0.9f), word(40, 15, kMark + "four", 0.9f), word(50, 16, kMark + "five", 0.9f),
              word(62, 17, kMark + "six", 0.3f)},
             config);
    auto updates = s.manager.transcriptionUpdates();
    platform::LogCapture log;
    struct Step {
        std::string text;
        bool isConfirmed;
        std::string confirmed;
        std::string volatileText;
        std::string logLine;
    };
    const Step steps[] = {
        // Low confidence too, but the missing context is the reason given.
        {"one", false, "", "one", "VOLATILE (0.3): insufficient context (1.0s) - updated volatile 'one'"},
        {"two", false, "", "two", "VOLATILE (0.9): insufficient context (1.9s) - updated volatile 'two'"},
        {"thr", true, "two", "thr", "CONFIRMED (0.9, 2.9s context): promoted to confirmed; new volatile 'thr'"},
        {"ee four", true, "two thr", "ee four", "CONFIRMED (0.9, 3.8s context)"},
        // The word begun two windows back is joined whole.
        {"five", true, "two three four", "five", "CONFIRMED (0.9, 4.8s context)"},
        {"six", false, "two three four", "six", "VOLATILE (0.3): low confidence - updated volatile 'six'"},
        // Nothing said: confidence 0.1, and the volatile text goes.
        {"", false, "two three four", "", "VOLATILE (0.1): low confidence - updated volatile ''"},
    };
    const auto audio = markedAudio(7 * 15360);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const auto& step = steps[i];
        feed(s.manager, audio, i * 15360, (i + 1) * 15360, 15360);
        const auto update = awaitUpdate(updates);
        ASSERT_TRUE(update);
        EXPECT_EQ(update->text, step.text);
        EXPECT_EQ(update->isConfirmed, step.isConfirmed);
        EXPECT_EQ(s.manager.confirmedTranscript(), step.confirmed);
        EXPECT_EQ(s.manager.volatileTranscript(), step.volatileText);
        EXPECT_TRUE(log.contains(step.logLine, "StreamingASR")) << step.logLine;
    }
    EXPECT_TRUE(log.contains("Chunk 7: '', time: ", "StreamingASR"));
    // The whole history, with what was never confirmed.
    EXPECT_EQ(s.manager.finish(), "one two three four five six");
    EXPECT_TRUE(log.contains("Final transcription: 27 characters", "StreamingASR"));
}

// ---------------------------------------------------------------------------------------------
// Update streams, start, reset, cancel

TEST(StreamingAsrManagerTest, OnlyTheUpdateStreamReadLastReceivesAndAnOldOneEndingLeavesIt) {
    Stream s({{2, 11}, {14, 12}, {26, 13}}, kSmallWindows);
    const auto audio = markedAudio(3 * 15360);

    auto first = s.manager.transcriptionUpdates();
    auto second = s.manager.transcriptionUpdates();
    EXPECT_FALSE(first.next());  // reading again ended it
    { auto gone = std::move(first); }
    feed(s.manager, audio, 0, 15360);
    EXPECT_EQ(awaitUpdate(second)->text, "t11");

    // The reader of the current stream leaves: updates go nowhere until a stream is read again.
    { auto gone = std::move(second); }
    feed(s.manager, audio, 15360, 30720);
    ASSERT_TRUE(waitUntil([&] { return s.manager.volatileTranscript() == "t12"; }));
    auto third = s.manager.transcriptionUpdates();
    feed(s.manager, audio, 30720, 46080);
    EXPECT_EQ(awaitUpdate(third)->text, "t13");
    EXPECT_EQ(s.manager.finish(), "t11 t12 t13");
    EXPECT_TRUE(queuedUpdates(third).empty());  // finish publishes nothing more
}

TEST(StreamingAsrManagerTest, AStartedManagerRefusesASecondStartAndAFailedStartMayBeRepeated) {
    AsrFixtureModels models(AsrFixtureScript::of({{2, 11}, {20, 12}}));
    StreamingAsrManager manager(StreamingAsrConfig::shortContext());
    models.setFailOnPrimingToken(true);
    EXPECT_THROW(manager.start(models.asrModels(), AudioSource::system), platform::NSError);
    models.setFailOnPrimingToken(false);
    manager.start(models.asrModels(), AudioSource::system);
    EXPECT_EQ(manager.audioSource(), AudioSource::system);

    for (const auto source : {AudioSource::microphone, AudioSource::system}) {
        try {
            manager.start(models.asrModels(), source);
            ADD_FAILURE();
        } catch (const StreamingAsrError& e) {
            EXPECT_EQ(e.kind(), StreamingAsrError::Kind::streamAlreadyExists);
            EXPECT_STREQ(e.what(), "A stream already exists for source: system");
        }
    }
    feed(manager, markedAudio(32000));
    EXPECT_EQ(manager.finish(), "t11 t12");
}

TEST(StreamingAsrManagerTest, AResetWhileAWindowIsRecognisedDropsThatWindow) {
    Stream s({{2, 11}, {14, 12}, {26, 13}}, kSmallWindows);
    auto updates = s.manager.transcriptionUpdates();
    const auto audio = markedAudio(3 * 15360);
    feed(s.manager, audio, 0, 15360);
    ASSERT_EQ(awaitUpdate(updates)->text, "t11");

    // While the second window is in the joint, a reset begins a new transcript.
    std::thread resetter;
    s.models.setJointHook([&](int frame) {
        if (frame != 14 || resetter.joinable()) return;
        resetter = std::thread([&] { s.manager.reset(); });
        waitUntil([&] { return s.manager.volatileTranscript().empty(); });
    });
    platform::LogCapture log;
    feed(s.manager, audio, 15360, 30720);
    // The new transcript: its audio starts again at frame 0, where the script says t11.
    feed(s.manager, audio, 0, 15360);
    const auto update = awaitUpdate(updates);
    resetter.join();
    s.models.setJointHook({});
    ASSERT_TRUE(update);
    EXPECT_EQ(update->text, "t11");
    EXPECT_EQ(update->tokenTimings.front().startTime, 2 * 0.08);
    EXPECT_TRUE(log.contains("Dropped a window recognised across a reset", "StreamingASR"));
    EXPECT_TRUE(log.contains("StreamingAsrManager reset for source: microphone", "StreamingASR"));
    EXPECT_EQ(s.manager.finish(), "t11");
    EXPECT_TRUE(queuedUpdates(updates).empty());
}

TEST(StreamingAsrManagerTest, AResetThatCannotPrimeStillClearsTheOldTranscript) {
    Stream s({{2, 11}, {14, 12}}, kSmallWindows);
    auto updates = s.manager.transcriptionUpdates();
    const auto audio = markedAudio(2 * 15360);
    feed(s.manager, audio, 0, 30720);
    ASSERT_TRUE(awaitUpdate(updates));
    ASSERT_TRUE(awaitUpdate(updates));

    s.models.setFailOnPrimingToken(true);
    EXPECT_THROW(s.manager.reset(), platform::NSError);
    s.models.setFailOnPrimingToken(false);
    EXPECT_EQ(s.manager.confirmedTranscript(), "");
    EXPECT_EQ(s.manager.volatileTranscript(), "");
    feed(s.manager, audio, 0, 15360);
    EXPECT_EQ(s.manager.finish(), "t11");
}

TEST(StreamingAsrManagerTest, CancelEndsTheUpdateStreamAndTheInput) {
    Stream s({{2, 11}, {14, 12}}, kSmallWindows);
    auto updates = s.manager.transcriptionUpdates();
    const auto audio = markedAudio(2 * 15360);
    feed(s.manager, audio, 0, 15360);
    ASSERT_EQ(awaitUpdate(updates)->text, "t11");
    platform::LogCapture log;
    s.manager.cancel();
    EXPECT_TRUE(log.contains("StreamingAsrManager cancelled", "StreamingASR"));
    EXPECT_FALSE(updates.next());
    feed(s.manager, audio, 15360, 30720);  // dropped
    EXPECT_EQ(s.manager.finish(), "t11");
}

TEST(StreamingAsrManagerTest, FinishWithoutStartGivesTheEmptyText) {
    platform::LogCapture log;
    StreamingAsrManager manager(StreamingAsrConfig::shortContext());
    feed(manager, markedAudio(16000));
    EXPECT_EQ(manager.finish(), "");
    EXPECT_TRUE(log.contains("Finishing streaming ASR...", "StreamingASR"));
    EXPECT_TRUE(log.contains("Final transcription: 0 characters", "StreamingASR"));
}

}  // namespace
}  // namespace rarivoredu
