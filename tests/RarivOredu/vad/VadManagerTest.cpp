#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "Platform/log/LogCapture.h"
#include "Platform/ml/MLMultiArrayDataType.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/vad/VadError.h"
#include "tests/RarivOredu/vad/VadTestSupport.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using testsupport::VadFixtureModel;

std::vector<float> slice(const std::vector<float>& v, std::size_t from, std::size_t to) {
    return {v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to)};
}

template <std::size_t N>
std::vector<float> values(const std::array<float, N>& a) {
    return {a.begin(), a.end()};
}

TEST(VadManagerTest, ARecordingIsCutIntoChunksThatCarryTheState) {
    ScriptedDetector d({0.9f, 0.2f});
    const auto samples = rampSamples(5000);
    const auto results = d.manager.process(samples);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_FLOAT_EQ(results[0].probability, 0.9f);
    EXPECT_TRUE(results[0].isVoiceActive);
    EXPECT_FLOAT_EQ(results[1].probability, 0.2f);
    EXPECT_FALSE(results[1].isVoiceActive);
    EXPECT_GE(results[0].processingTime, 0.0);

    const auto runs = d.fixture.runs();
    ASSERT_EQ(runs.size(), 2u);
    // First chunk: the initial state, zeros before the first 4096 samples.
    EXPECT_EQ(runs[0].hidden, std::vector<float>(128, 0.0f));
    EXPECT_EQ(runs[0].cell, std::vector<float>(128, 0.0f));
    EXPECT_EQ(slice(runs[0].audio, 0, 64), std::vector<float>(64, 0.0f));
    EXPECT_EQ(slice(runs[0].audio, 64, 4160), slice(samples, 0, 4096));
    // Second chunk: the first chunk's output state, then 904 samples and copies of the last one.
    EXPECT_EQ(runs[1].hidden, values(results[0].outputState.hiddenState));
    EXPECT_EQ(runs[1].cell, values(results[0].outputState.cellState));
    EXPECT_EQ(slice(runs[1].audio, 0, 64), slice(samples, 4032, 4096));
    EXPECT_EQ(values(results[0].outputState.context), slice(samples, 4032, 4096));
    EXPECT_EQ(slice(runs[1].audio, 64, 968), slice(samples, 4096, 5000));
    EXPECT_EQ(slice(runs[1].audio, 968, 4160), std::vector<float>(3192, samples.back()));
    EXPECT_FLOAT_EQ(results[1].outputState.hiddenState[0], 2.0f);  // the fixture's chunk counter

    // Every pass starts from the initial state again.
    d.fixture.clearRuns();
    const auto again = d.manager.processSamples(samples);
    EXPECT_EQ(d.fixture.runs()[0].hidden, std::vector<float>(128, 0.0f));
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[1].outputState, results[1].outputState);
    EXPECT_FLOAT_EQ(again[0].probability, 0.9f);
}

TEST(VadManagerTest, OneChunkTakesAtMost4096SamplesAndKeepsTheLast64AsContext) {
    ScriptedDetector d({0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
    const auto samples = rampSamples(5000);

    // Longer: its first 4096 samples.
    const auto longer = d.manager.processChunk(samples);
    EXPECT_EQ(slice(d.fixture.runs().back().audio, 64, 4160), slice(samples, 0, 4096));
    EXPECT_EQ(values(longer.outputState.context), slice(samples, 4032, 4096));

    // No state is the initial state.
    const auto withInitial = d.manager.processChunk(samples, VadState::initial());
    EXPECT_EQ(withInitial.outputState, longer.outputState);

    // Shorter: the context is the chunk's own last 64 samples, not copies of its last one.
    const auto shorter = d.manager.processChunk(slice(samples, 0, 1000), longer.outputState);
    EXPECT_EQ(values(shorter.outputState.context), slice(samples, 936, 1000));

    // Fewer than 64: the old context moves up behind them.
    const auto few = d.manager.processChunk(slice(samples, 2000, 2010), longer.outputState);
    std::vector<float> expected = slice(samples, 4042, 4096);
    for (std::size_t i = 2000; i < 2010; ++i) expected.push_back(samples[i]);
    EXPECT_EQ(values(few.outputState.context), expected);

    // Empty: the model hears 4096 zeros after the context, which stays.
    const auto empty = d.manager.processChunk({}, longer.outputState);
    const auto run = d.fixture.runs().back();
    EXPECT_EQ(slice(run.audio, 0, 64), slice(samples, 4032, 4096));
    EXPECT_EQ(slice(run.audio, 64, 4160), std::vector<float>(4096, 0.0f));
    EXPECT_EQ(empty.outputState.context, longer.outputState.context);
}

TEST(VadManagerTest, AProbabilityAtTheThresholdIsVoice) {
    ScriptedDetector d({0.85f, std::nextafter(0.85f, 0.0f), 1.0f, 0.0f});
    const auto results = d.manager.process(std::vector<float>(4 * 4096, 0.1f));
    ASSERT_EQ(results.size(), 4u);
    EXPECT_TRUE(results[0].isVoiceActive);
    EXPECT_FALSE(results[1].isVoiceActive);
    EXPECT_TRUE(results[2].isVoiceActive);
    EXPECT_FALSE(results[3].isVoiceActive);
}

TEST(VadManagerTest, WithoutAModelOnlyEmptyAudioSucceeds) {
    platform::LogCapture log;
    VadManager manager(VadConfig::defaultConfig(), platform::MLModelPtr{});
    EXPECT_FALSE(manager.isAvailable());
    EXPECT_TRUE(manager.process({}).empty());
    EXPECT_TRUE(manager.segmentSpeech(std::vector<float>{}).empty());
    try {
        manager.process(std::vector<float>(10, 0.0f));
        FAIL() << "processed without a model";
    } catch (const VadError& error) {
        EXPECT_EQ(error.kind(), VadError::Kind::notInitialized);
        EXPECT_STREQ(error.what(), "VAD system not initialized");
    }
    EXPECT_THROW(manager.processChunk(std::vector<float>(4096, 0.0f)), VadError);
    EXPECT_THROW(manager.processStreamingChunk(std::vector<float>(4096, 0.0f), VadManager::makeStreamState()), VadError);
    EXPECT_TRUE(log.contains("VAD system not initialized", "VadManager"));
}

TEST(VadManagerTest, OutputsThatAreMissingOrTooSmallGiveAClearError) {
    struct Case {
        const char* name;
        VadFixtureModel::Outputs outputs;
        const char* description;  // empty: the step succeeds
        const char* logText;
    };
    const auto with = [](auto change) {
        VadFixtureModel::Outputs outputs;
        change(outputs);
        return outputs;
    };
    const Case cases[] = {
        // A missing output's own error is wrapped once more, like any failure of the step.
        {"no probability", with([](auto& o) { o.probabilityValues = -1; }),
         "Model processing failed: Model processing failed: No VAD output", "No vad output found"},
        {"no hidden state", with([](auto& o) { o.hiddenValues = -1; }),
         "Model processing failed: Model processing failed: No new hidden state output",
         "No new hidden state output found"},
        {"no cell state", with([](auto& o) { o.cellValues = -1; }),
         "Model processing failed: Model processing failed: No new cell state output",
         "No new cell state output found"},
        {"empty probability", with([](auto& o) { o.probabilityValues = 0; }),
         "Model processing failed: VAD output has 0 values, fewer than 1", ""},
        {"short hidden state", with([](auto& o) { o.hiddenValues = 64; }),
         "Model processing failed: New hidden state output has 64 values, fewer than 128", ""},
        {"short cell state", with([](auto& o) { o.cellValues = 127; }),
         "Model processing failed: New cell state output has 127 values, fewer than 128", ""},
        {"failing prediction", with([](auto& o) { o.fail = true; }),
         "Model processing failed: The VAD fixture failed on purpose", ""},
        {"names that contain the expected ones", with([](auto& o) {
             o.probabilityName = "VAD_Output_Prob";
             o.hiddenName = "layer_new_hidden_state";
             o.cellName = "NEW_CELL_STATE_0";
         }),
         "", ""},
        {"half-precision outputs", with([](auto& o) { o.dataType = platform::MLMultiArrayDataType::float16; }), "", ""},
        {"longer states", with([](auto& o) { o.hiddenValues = o.cellValues = 256; }), "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::LogCapture log;
        ScriptedDetector d({0.5f});
        d.fixture.setOutputs(c.outputs);
        if (std::string(c.description).empty()) {
            const auto result = d.manager.processChunk(rampSamples(4096));
            EXPECT_FLOAT_EQ(result.probability, 0.5f);
            EXPECT_FLOAT_EQ(result.outputState.hiddenState[0], 1.0f);
            EXPECT_FLOAT_EQ(result.outputState.cellState[127], 127.0f);
            continue;
        }
        try {
            d.manager.processChunk(rampSamples(4096));
            ADD_FAILURE() << "no error";
        } catch (const VadError& error) {
            EXPECT_EQ(error.kind(), VadError::Kind::modelProcessingFailed);
            EXPECT_STREQ(error.what(), c.description);
        }
        EXPECT_TRUE(log.contains(c.description, "VadManager"));
        if (*c.logText) {
            EXPECT_TRUE(log.contains(c.logText, "VadManager"));
        }
        // The manager stays usable.
        d.fixture.setOutputs({});
        EXPECT_NO_THROW(d.manager.processChunk(rampSamples(4096)));
    }
}

TEST(VadManagerTest, ChunksOfSeveralThreadsRunOneAtATime) {
    // The probability is the level of the chunk: a step that another thread's audio overwrote
    // in the shared input buffers would answer that thread's level.
    VadFixtureModel fixture(VadFixtureModel::Script{{}, true});
    VadManager manager(VadConfig::defaultConfig(), fixture.model());
    constexpr int threads = 4;
    std::vector<std::vector<float>> probabilities(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const std::vector<float> audio(20 * 4096, 0.1f * static_cast<float>(t + 1));
            for (const auto& result : manager.process(audio)) probabilities[t].push_back(result.probability);
        });
    }
    for (auto& worker : workers) worker.join();
    for (int t = 0; t < threads; ++t) {
        ASSERT_EQ(probabilities[t].size(), 20u);
        for (const float p : probabilities[t]) EXPECT_FLOAT_EQ(p, 0.1f * static_cast<float>(t + 1)) << t;
    }
}

// A 440 Hz tone in the even quarter-second chunks, silence in the odd ones: chunk k of 256 ms.
std::vector<float> toneBursts(double rate, std::size_t chunks) {
    const auto perChunk = static_cast<std::size_t>(rate * 0.256);
    auto samples = testsupport::sine(440, rate, perChunk * chunks, 0.5f);
    for (std::size_t k = 1; k < chunks; k += 2) {
        std::fill(samples.begin() + static_cast<std::ptrdiff_t>(k * perChunk),
                  samples.begin() + static_cast<std::ptrdiff_t>((k + 1) * perChunk), 0.0f);
    }
    return samples;
}

TEST(VadManagerTest, StereoAt44kHzGivesTheResultsOfItsMonoConversion) {
    constexpr std::size_t chunks = 6;
    VadConfig config;
    config.threshold = 0.2f;
    VadFixtureModel fixture(VadFixtureModel::Script{{}, true});
    VadManager manager(config, fixture.model());

    // The bursts on both channels: their mean, the mono conversion, is the bursts again.
    const auto left = toneBursts(44100, chunks);
    const auto right = left;
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < left.size(); ++i) interleaved.insert(interleaved.end(), {left[i], right[i]});
    testsupport::TemporaryDirectory directory;
    const auto file = directory / "stereo.wav";
    std::ofstream(file, std::ios::binary) << testsupport::floatWav(interleaved, 44100, 2);

    const auto format = platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 44100, 2, false);
    const auto buffer = platform::AVAudioPCMBuffer::make(*format, static_cast<platform::AVAudioFrameCount>(left.size()));
    std::memcpy(buffer->floatChannelData()[0], left.data(), left.size() * sizeof(float));
    std::memcpy(buffer->floatChannelData()[1], right.data(), right.size() * sizeof(float));
    buffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(left.size()));

    const auto mono = toneBursts(16000, chunks);
    const auto expected = manager.process(mono);
    ASSERT_EQ(expected.size(), chunks);
    for (const auto& results : {manager.processFile(file), manager.processBuffer(*buffer)}) {
        ASSERT_EQ(results.size(), chunks);
        for (std::size_t k = 0; k < chunks; ++k) {
            SCOPED_TRACE(k);
            EXPECT_NEAR(results[k].probability, expected[k].probability, 0.01);
            EXPECT_EQ(results[k].isVoiceActive, k % 2 == 0);
        }
    }
    // A buffer already at 16 kHz mono is taken as it is.
    const auto monoFormat = AudioConverter::defaultTargetFormat();
    const auto monoBuffer = platform::AVAudioPCMBuffer::make(monoFormat, static_cast<platform::AVAudioFrameCount>(mono.size()));
    std::memcpy(monoBuffer->floatChannelData()[0], mono.data(), mono.size() * sizeof(float));
    monoBuffer->setFrameLength(static_cast<platform::AVAudioFrameCount>(mono.size()));
    const auto same = manager.processBuffer(*monoBuffer);
    ASSERT_EQ(same.size(), chunks);
    for (std::size_t k = 0; k < chunks; ++k) EXPECT_EQ(same[k].probability, expected[k].probability);

    EXPECT_THROW(manager.processFile(directory / "missing.wav"), std::exception);
}

}  // namespace
}  // namespace rarivoredu
