#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/log/LogCapture.h"
#include "Platform/ml/InProcessEngine.h"
#include "Platform/system/CancellationToken.h"
#include "Platform/system/CocoaError.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/asr/ASRError.h"
#include "RarivOredu/asr/AsrManager.h"
#include "RarivOredu/asr/PerformanceMonitor.h"
#include "tests/RarivOredu/asr/AsrManagerTestSupport.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureAudio.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace rarivoredu {
namespace {

using asrtest::evenTokens;
using asrtest::expectedFor;
using testsupport::AsrFixtureModels;
using testsupport::AsrFixtureScript;
using testsupport::markedAudio;
using testsupport::ScriptedToken;

const std::string kMark = "\xE2\x96\x81";

struct Recogniser {
    explicit Recogniser(AsrFixtureScript script, AsrModelVersion version = AsrModelVersion::v3)
        : models(std::move(script)) {
        manager.initialize(models.asrModels(version));
    }
    AsrFixtureModels models;
    AsrManager manager;
};

AsrFixtureScript script(std::vector<ScriptedToken> tokens) { return AsrFixtureScript::of(std::move(tokens)); }

void expectTranscript(const ASRResult& result, const std::vector<ScriptedToken>& tokens, std::size_t samples) {
    const auto expected = expectedFor(tokens);
    EXPECT_EQ(result.text, expected.text);
    EXPECT_FLOAT_EQ(result.confidence, expected.meanConfidence);
    EXPECT_DOUBLE_EQ(result.duration, static_cast<double>(samples) / 16000.0);
    EXPECT_GE(result.processingTime, 0.0);
    EXPECT_FALSE(result.performanceMetrics);
    ASSERT_TRUE(result.tokenTimings);
    const auto& timings = *result.tokenTimings;
    ASSERT_EQ(timings.size(), tokens.size());
    for (std::size_t i = 0; i < timings.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(timings[i].tokenId, tokens[i].tokenId);
        EXPECT_DOUBLE_EQ(timings[i].startTime, expected.startTimes[i]);
        const double nextStart = i + 1 < timings.size() ? expected.startTimes[i + 1] : 0.0;
        EXPECT_DOUBLE_EQ(timings[i].endTime, std::max(expected.startTimes[i] + 0.08, nextStart));
        EXPECT_EQ(timings[i].confidence, expected.confidences[i]);
    }
}

TEST(AsrManagerTest, OneSecondIsOneWindowWithItsLastWordKept) {
    const std::vector<ScriptedToken> tokens{{1, 11, kMark + "hello", 1, 0.9f},
                                            {4, 12, kMark + "wor", 1, 0.8f},
                                            {6, 13, "ld", 1, 0.7f},
                                            // The last frame; its duration runs past the end of the audio.
                                            {12, 14, kMark + "again", 2, 0.6f}};
    Recogniser r(script(tokens));
    const auto result = r.manager.transcribe(markedAudio(16000));
    EXPECT_EQ(result.text, "hello world again");
    expectTranscript(result, tokens, 16000);
    EXPECT_FLOAT_EQ(result.confidence, 0.75f);
    // One window: the samples zero-padded to 15 s, with the true length beside them.
    EXPECT_EQ(r.models.audioLengths(), (std::vector<int>{16000}));
    EXPECT_EQ(r.models.audioSignalLengths(), (std::vector<int>{240000}));
}

// Seams of 40 s: the windows decode frames [0, 140), [140, 280), [280, 420), [420, 500).
std::vector<ScriptedToken> fortySecondScript() {
    std::vector<ScriptedToken> tokens = evenTokens(2, 130, 8, 100);
    auto add = [&](int frame, int id, std::string text, int bin = 1) {
        tokens.push_back({frame, id, std::move(text), bin, 0.7f});
    };
    add(137, 300, kMark + "over");
    add(139, 301, kMark + "the", 3);  // runs from the first window into the second
    add(142, 302, kMark + "seam");
    for (const auto& t : evenTokens(150, 266, 9, 400)) tokens.push_back(t);
    // The same two words on both sides of a seam stay: they were spoken twice.
    add(274, 50, kMark + "no");
    add(277, 51, kMark + "way");
    add(280, 50, kMark + "no");
    add(283, 51, kMark + "way");
    for (const auto& t : evenTokens(290, 410, 10, 500)) tokens.push_back(t);
    add(419, 600, kMark + "right", 0);  // two tokens on the last frame of a window
    add(419, 601, "s");
    add(420, 602, kMark + "after");
    for (const auto& t : evenTokens(430, 499, 7, 700)) tokens.push_back(t);
    return tokens;
}

TEST(AsrManagerTest, FortySecondsAreMergedWithoutTokensDoubledOrLostAtTheSeams) {
    const auto tokens = fortySecondScript();
    Recogniser r(script(tokens));
    const auto result = r.manager.transcribe(markedAudio(640000));
    expectTranscript(result, tokens, 640000);
    // Windows of 11.2 s centres with 1.6 s on each side; the last reaches back to hold 15 s, from
    // a frame boundary.
    EXPECT_EQ(r.models.audioLengths(), (std::vector<int>{204800, 230400, 230400, 239360}));
    // Every token went into the Decoder once.
    const auto fed = r.models.fedTokens();
    for (const auto& t : tokens) {
        const auto count = std::count(fed.begin(), fed.end(), t.tokenId);
        EXPECT_EQ(count, t.tokenId == 50 || t.tokenId == 51 ? 2 : 1) << t.tokenId;
    }
}

TEST(AsrManagerTest, FifteenSecondsAreOneWindowAndASampleMoreTwo) {
    struct Case {
        const char* name;
        std::size_t samples;
        int step;
        std::vector<int> audioLengths;
    };
    const Case cases[] = {
        {"15 s", 240000, 6, {240000}},
        // The second window reaches back to hold 15 s, from the first frame boundary it can.
        {"15 s and a sample", 240001, 11, {204800, 240001 - 1280}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto tokens = evenTokens(0, 186, c.step, 100);
        tokens.push_back({187, 300, kMark + "last", 1, 0.9f});  // the frame with the last sample
        Recogniser r(script(tokens));
        const auto result = r.manager.transcribe(markedAudio(c.samples));
        expectTranscript(result, tokens, c.samples);
        EXPECT_EQ(r.models.audioLengths(), c.audioLengths);
    }
}

TEST(AsrManagerTest, FixtureModelSetLoadsFromItsFolderLikeTheRealOne) {
    AsrFixtureModels models(script({{1, 11, kMark + "from"}, {5, 12, kMark + "disk"}}));
    testsupport::TemporaryDirectory directory;
    const auto folder = directory.path() / "parakeet-tdt-0.6b-v3-coreml";
    models.writeBundles(folder);
    AsrManager manager;
    manager.initialize(AsrModels::load(folder, std::nullopt, AsrModelVersion::v3));
    EXPECT_EQ(manager.transcribe(markedAudio(16000)).text, "from disk");
}

TEST(AsrManagerTest, ShortAudioAndMissingModelsAreRefused) {
    Recogniser r(script({{1, 11}}));
    try {
        r.manager.transcribe(markedAudio(15999));
        ADD_FAILURE();
    } catch (const ASRError& e) {
        EXPECT_EQ(e.kind(), ASRError::Kind::invalidAudioData);
        EXPECT_STREQ(e.what(), "Invalid audio data provided. Must be at least 1 second of 16kHz audio.");
    }
    EXPECT_EQ(r.models.preprocessorRuns(), 0);

    AsrManager fresh;
    EXPECT_FALSE(fresh.isAvailable());
    for (AsrManager* manager : {&fresh, &r.manager}) {
        if (manager == &r.manager) r.manager.cleanup();
        try {
            manager->transcribe(markedAudio(16000));
            ADD_FAILURE();
        } catch (const ASRError& e) {
            EXPECT_EQ(e.kind(), ASRError::Kind::notInitialized);
        }
    }
    // A new installation makes it usable again.
    r.manager.initialize(r.models.asrModels());
    EXPECT_EQ(r.manager.transcribe(markedAudio(16000)).text, "t11");
}

// ---------------------------------------------------------------------------------------------
// Decoder states

TEST(AsrManagerTest, EveryTranscriptionPrimesBothStatesAfresh) {
    for (const auto source : {AudioSource::microphone, AudioSource::system}) {
        SCOPED_TRACE(name(source));
        Recogniser r(script({{1, 11}, {5, 12}}));
        r.manager.transcribe(markedAudio(16000), source);
        for (const auto s : {AudioSource::microphone, AudioSource::system}) {
            const auto state = r.manager.decoderState(s);
            EXPECT_FALSE(state.lastToken);
            EXPECT_FALSE(state.predictorOutput);
            EXPECT_FALSE(state.timeJump);
            EXPECT_EQ((*state.cellState)[0], 1);    // one Decoder run since zeroing
            EXPECT_EQ((*state.hiddenState)[1], 0);  // on token 0
        }
        // The next recording starts from scratch.
        EXPECT_EQ(r.manager.transcribe(markedAudio(16000), source).text, "t11 t12");
    }
}

TEST(AsrManagerTest, StreamingWindowsCarryEachSourcesStateOnIndependently) {
    Recogniser r(script({{2, 11}, {6, 12}, {30, 13}, {34, 14}}));
    const auto audio = markedAudio(80000);
    const std::span<const float> firstWindow(audio.data(), 16000);
    // The second window starts at frame 10; the first call ended exactly at its last frame, which
    // lets the next call begin 20 frames in, at frame 30.
    const std::span<const float> secondWindow(audio.data() + 12800, 48000);

    const auto mic1 = r.manager.transcribeStreamingChunk(firstWindow, AudioSource::microphone, {});
    EXPECT_EQ(mic1.tokens, (std::vector<int>{11, 12}));
    EXPECT_EQ(mic1.timestamps, (std::vector<int>{2, 6}));
    EXPECT_EQ(mic1.encoderSequenceLength, 13);
    EXPECT_EQ(r.manager.decoderState(AudioSource::microphone).lastToken, 12);
    EXPECT_FALSE(r.manager.decoderState(AudioSource::system).lastToken);

    const auto system1 = r.manager.transcribeStreamingChunk(firstWindow, AudioSource::system, {});
    EXPECT_EQ(system1.tokens, (std::vector<int>{11, 12}));

    const auto mic2 = r.manager.transcribeStreamingChunk(secondWindow, AudioSource::microphone, mic1.tokens);
    EXPECT_EQ(mic2.tokens, (std::vector<int>{13, 14}));
    EXPECT_EQ(mic2.timestamps, (std::vector<int>{20, 24}));
    EXPECT_EQ(mic2.confidences.size(), 2u);
    EXPECT_EQ(r.manager.decoderState(AudioSource::system).lastToken, 12);
}

TEST(AsrManagerTest, StreamingWindowDropsTokensThatRepeatThePreviousOnes) {
    Recogniser r(script({{2, 11}, {4, 12}, {6, 13}}));
    const auto result = r.manager.transcribeStreamingChunk(markedAudio(16000), AudioSource::microphone, {5, 11, 12});
    EXPECT_EQ(result.tokens, (std::vector<int>{13}));
    EXPECT_EQ(result.timestamps, (std::vector<int>{6}));
    EXPECT_EQ(result.confidences.size(), 1u);
}

// Placed windows over 50 frames, each decoding from where the one before stopped.
TEST(AsrManagerTest, PlacedStreamingWindowsDecodeEveryFrameOnce) {
    // The words at frames 20 and 21 repeat those at 2 and 11: said twice, they stay.
    Recogniser r(script({{2, 11}, {11, 12}, {12, 13}, {20, 11}, {21, 12}, {33, 14}, {45, 15}}));
    const auto audio = markedAudio(64000);
    struct Window {
        const char* name;
        std::size_t from, to;
        AsrManager::StreamingWindow placement;
        std::vector<int> tokens, timestamps;
        std::optional<int> resumeFrame;
    };
    const Window windows[] = {
        {"the first", 0, 15360, {0, 12, std::nullopt, std::nullopt, false}, {11, 12}, {2, 11}, 12},
        {"with left context decoded before", 6400, 32000, {5, 20, 12, 11, false}, {13, 11, 12}, {12, 20, 21}, 25},
        // It begins where the previous one stopped, at its own first frame (not 20 frames in).
        {"right after the previous", 32000, 47360, {25, 12, 25, 21, false}, {14}, {33}, 37},
        // Told to resume further back than it should: what was recognised already is dropped.
        {"going over frames already processed", 6400, 64000, {5, 45, 20, 33, true}, {15}, {45}, 50},
    };
    for (const auto& w : windows) {
        SCOPED_TRACE(w.name);
        const std::span<const float> samples(audio.data() + w.from, w.to - w.from);
        const auto result = r.manager.transcribeStreamingWindow(samples, AudioSource::microphone, w.placement);
        EXPECT_EQ(result.tokens, w.tokens);
        EXPECT_EQ(result.timestamps, w.timestamps);
        EXPECT_EQ(result.confidences.size(), w.tokens.size());
        EXPECT_EQ(result.resumeFrame, w.resumeFrame);
    }
}

TEST(AsrManagerTest, APlacedWindowCutShortByTheTokenLimitLeavesTheRestOfItsFrameToTheNext) {
    ASRConfig config;
    config.tdtConfig.maxTokensPerChunk = 2;
    AsrFixtureModels models(script({{3, 11, "", 0}, {3, 12, "", 0}, {3, 13}, {9, 14}}));
    AsrManager manager(config);
    manager.initialize(models.asrModels());
    const auto audio = markedAudio(30720);
    const auto first = manager.transcribeStreamingWindow(std::span<const float>(audio.data(), 15360),
                                                         AudioSource::microphone, {0, 12, std::nullopt, std::nullopt});
    EXPECT_EQ(first.tokens, (std::vector<int>{11, 12}));
    // The rest of frame 3 follows, although a token on that frame was processed already.
    const auto second = manager.transcribeStreamingWindow(audio, AudioSource::microphone, {0, 24, first.resumeFrame, 3});
    EXPECT_EQ(second.tokens, (std::vector<int>{13, 14}));
    EXPECT_EQ(second.timestamps, (std::vector<int>{3, 9}));
}

TEST(AsrManagerTest, FailedPrimingAfterATranscriptionKeepsTheResult) {
    Recogniser r(script({{1, 11}, {5, 12}}));
    r.models.setFailOnPrimingToken(true);
    platform::LogCapture log;
    const auto result = r.manager.transcribe(markedAudio(16000));
    EXPECT_EQ(result.text, "t11 t12");
    EXPECT_TRUE(log.contains("Failed to prime the microphone decoder state after a transcription: "
                             "Decoder refused the priming token",
                             "ASR"));
    EXPECT_TRUE(log.contains("Failed to prime the system decoder state after a transcription: ", "ASR"));
    // The states prime themselves on their next use.
    EXPECT_EQ(r.manager.transcribe(markedAudio(16000), AudioSource::system).text, "t11 t12");
    EXPECT_EQ(r.manager.transcribe(markedAudio(16000)).text, "t11 t12");
}

TEST(AsrManagerTest, FailedTranscriptionLeavesNothingForTheNextRecording) {
    auto s = script({{1, 11}, {5, 12}});
    for (const auto& t : evenTokens(20, 300, 10, 100)) s.tokens.push_back(t);
    s.failingFrame = 300;
    Recogniser r(s);
    EXPECT_THROW(r.manager.transcribe(markedAudio(640000)), platform::NSError);
    const auto left = r.manager.decoderState(AudioSource::microphone);
    EXPECT_FALSE(left.lastToken);
    EXPECT_FALSE(left.predictorOutput);
    EXPECT_FALSE(left.timeJump);
    EXPECT_EQ(r.manager.transcribe(markedAudio(16000)).text, "t11 t12");
}

TEST(AsrManagerTest, ALongTranscriptionStopsBetweenWindowsOnceCancelled) {
    const auto tokens = fortySecondScript();
    Recogniser r(script(tokens));
    platform::CancellationToken token;
    platform::CancellationToken::Scope scope(token);
    r.models.setJointHook([&token](int) { token.cancel(); });  // while the first window decodes
    try {
        r.manager.transcribe(markedAudio(640000));
        ADD_FAILURE() << "no error";
    } catch (const platform::NSError& error) {
        EXPECT_EQ(error.domain(), platform::CocoaError::domain);
        EXPECT_EQ(error.code(), platform::CocoaError::userCancelled);
    }
    EXPECT_EQ(r.models.audioLengths(), (std::vector<int>{204800}));  // the first of four windows
    // Nothing of it reaches the next recording.
    r.models.setJointHook({});
    platform::CancellationToken::Scope fresh{platform::CancellationToken()};
    expectTranscript(r.manager.transcribe(markedAudio(640000)), tokens, 640000);
}

TEST(AsrManagerTest, ResetStateLeavesBothStatesUnprimed) {
    Recogniser r(script({{1, 11}}));
    r.manager.transcribe(markedAudio(16000));
    r.manager.resetState();
    for (const auto s : {AudioSource::microphone, AudioSource::system}) {
        EXPECT_EQ((*r.manager.decoderState(s).cellState)[0], 0);
    }
    r.manager.resetDecoderState(AudioSource::system);
    EXPECT_EQ((*r.manager.decoderState(AudioSource::system).cellState)[0], 1);
    EXPECT_EQ((*r.manager.decoderState(AudioSource::microphone).cellState)[0], 0);
    r.manager.resetDecoderStates();
    EXPECT_EQ((*r.manager.decoderState(AudioSource::microphone).cellState)[0], 1);
}

TEST(AsrManagerTest, VersionTwoModelsDecodeWithTheirBlank) {
    auto s = script({{1, 11}, {5, 12}});
    s.blankId = 1024;
    Recogniser r(s, AsrModelVersion::v2);
    EXPECT_EQ(r.manager.config().tdtConfig.blankId, 8192);
    EXPECT_EQ(r.manager.transcribe(markedAudio(16000)).text, "t11 t12");
}

// ---------------------------------------------------------------------------------------------
// Model plumbing

// The fixture Encoder with another interface: extra inputs it needs, outputs it leaves out.
platform::MLModelPtr reshapedEncoder(const AsrFixtureModels& models, const std::vector<std::string>& extraInputs,
                                     const std::string& droppedOutput) {
    auto description = models.encoder()->modelDescription();
    for (const auto& name : extraInputs) {
        platform::MLFeatureDescription feature;
        feature.name = name;
        description.inputs.push_back(feature);
    }
    auto encoder = models.encoder();
    return platform::MLModel::withEngine(
        std::make_shared<platform::InProcessEngine>([encoder, droppedOutput](const platform::MLFeatureProvider& in) {
            platform::MLDictionaryFeatureProvider::Dictionary inputs;
            for (const auto& name : {"mel", "mel_length"}) inputs[name] = *in.featureValueForName(name);
            auto out = encoder->predictionFromFeatures(platform::MLDictionaryFeatureProvider(inputs));
            platform::MLDictionaryFeatureProvider::Dictionary result;
            for (const auto& name : out->featureNames()) {
                if (name != droppedOutput) result[name] = *out->featureValueForName(name);
            }
            return result;
        }),
        description);
}

TEST(AsrManagerTest, EncoderInputsComeFromThePreprocessorOrItsInputs) {
    struct Case {
        const char* name;
        std::vector<std::string> extraInputs;
        std::string droppedOutput;
        std::string error;  // empty: recognised
    };
    const Case cases[] = {
        {"a preprocessor input", {"audio_length"}, "", ""},
        {"an input nobody has",
         {"speaker"},
         "",
         "Missing required encoder input: speaker. Available inputs: mel, mel_length, fallback inputs: audio_length, "
         "audio_signal"},
        {"no encoder output", {}, "encoder", "Invalid encoder output"},
        {"no encoder length", {}, "encoder_length", "Invalid encoder output length"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recogniser r(script({{1, 11}, {5, 12}}));
        auto models = r.models.asrModels();
        models.encoder = reshapedEncoder(r.models, c.extraInputs, c.droppedOutput);
        r.manager.initialize(models);
        if (c.error.empty()) {
            EXPECT_EQ(r.manager.transcribe(markedAudio(16000)).text, "t11 t12");
            continue;
        }
        try {
            r.manager.transcribe(markedAudio(16000));
            ADD_FAILURE();
        } catch (const ASRError& e) {
            EXPECT_EQ(e.kind(), ASRError::Kind::processingFailed);
            EXPECT_EQ(e.message(), c.error);
        }
    }
}

platform::AVAudioPCMBufferPtr monoBuffer(double sampleRate, const std::vector<float>& samples) {
    const auto format = platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, sampleRate, 1, false);
    auto buffer = platform::AVAudioPCMBuffer::make(*format, static_cast<platform::AVAudioFrameCount>(samples.size()));
    std::memcpy(buffer->floatChannelData()[0], samples.data(), samples.size() * sizeof(float));
    buffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(samples.size()));
    return buffer;
}

TEST(AsrManagerTest, BuffersAndFilesAreBroughtTo16kHzFirst) {
    Recogniser r(script({{1, 11}, {5, 12}, {14, 13}}));
    const auto audio = markedAudio(24000);
    // Twice the rate: every sample twice.
    std::vector<float> doubled;
    for (const float s : audio) doubled.insert(doubled.end(), {s, s});

    EXPECT_EQ(r.manager.transcribeBuffer(*monoBuffer(16000, audio)).text, "t11 t12 t13");
    EXPECT_EQ(r.manager.transcribeBuffer(*monoBuffer(32000, doubled)).text, "t11 t12 t13");
    testsupport::TemporaryDirectory directory;
    const auto file = directory.path() / "speech.wav";
    std::ofstream(file, std::ios::binary) << testsupport::floatWav(doubled, 32000);
    EXPECT_EQ(r.manager.transcribeAudioFile(file).text, "t11 t12 t13");
    EXPECT_THROW(r.manager.transcribeAudioFile(directory.path() / "missing.wav"), std::exception);
}

TEST(AsrManagerTest, MeasuredTranscriptionKeepsItsRecordInTheMonitor) {
    Recogniser r(script({{1, 11}}));
    PerformanceMonitor monitor;
    const auto [result, metrics] = r.manager.measureTranscription(markedAudio(32000), &monitor);
    EXPECT_EQ(result.text, "t11");
    ASSERT_TRUE(metrics);
    EXPECT_FALSE(result.performanceMetrics);
    EXPECT_EQ(monitor.metrics().size(), 1u);
    EXPECT_FLOAT_EQ(metrics->rtfx, realTimeFactor(2.0, metrics->totalProcessingTime));

    const auto unmeasured = r.manager.measureTranscription(markedAudio(32000), nullptr);
    EXPECT_FALSE(unmeasured.second);
    EXPECT_EQ(monitor.metrics().size(), 1u);
}

}  // namespace
}  // namespace rarivoredu
