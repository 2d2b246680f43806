// The engine's input node over a scripted capture: buffer sizes, hand-over, binding and errors.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "Platform/audio/AVAudioEngine.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/system/NSError.h"
#include "tests/support/FakeAudioHardware.h"

namespace platform {
namespace {

using testsupport::FakeAudioHardware;

struct Received {
    std::mutex mutex;
    std::vector<AVAudioFrameCount> lengths;
    std::vector<float> channel0;
    std::vector<AVAudioPCMBufferPtr> kept;
};

class AVAudioInputNodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto stereo = testsupport::fakeMicrophone("stereo", 2);
        stereo.sampleRate = 44100;
        stereo.frequencies = {440.0, 1000.0};
        hardware->setInputs({testsupport::fakeMicrophone(), stereo}, "fake_microphone");
    }

    AVAudioNodeTapBlock recordInto(Received& received, bool keep = false) {
        return [&received, keep](const AVAudioPCMBufferPtr& buffer) {
            std::lock_guard lock(received.mutex);
            received.lengths.push_back(buffer->frameLength());
            const float* samples = buffer->floatChannelData()[0];
            for (AVAudioFrameCount i = 0; i < buffer->frameLength(); ++i) {
                received.channel0.push_back(samples[i * buffer->stride()]);
            }
            if (keep) received.kept.push_back(buffer);
        };
    }

    std::shared_ptr<FakeAudioHardware> hardware = FakeAudioHardware::make();
};

TEST_F(AVAudioInputNodeTest, HandsOverFullBuffersOfTheTapSizeThenTheRestAtStop) {
    struct Case {
        AVAudioFrameCount frames;
        AVAudioFrameCount chunk;
        AVAudioFrameCount tapSize;
    };
    const Case cases[] = {
        {4096 * 3 + 100, 480, 4096},  // the server's chunks do not divide the tap size
        {4096 * 2, 4096 * 2 + 7, 4096},  // one chunk larger than two buffers
        {1000, 441, 1024},              // stopped before the first buffer filled
        {4096 * 2, 512, 4096},          // ends on a buffer boundary: nothing partial
    };
    for (const Case& c : cases) {
        hardware->setCapture({c.frames, c.chunk, std::nullopt, {}});
        AVAudioEngine engine(hardware);
        Received received;
        engine.inputNode().installTapOnBus(0, c.tapSize, std::nullopt, recordInto(received));
        engine.start();
        engine.stop();
        engine.inputNode().removeTapOnBus(0);

        std::vector<AVAudioFrameCount> expected(c.frames / c.tapSize, c.tapSize);
        if (c.frames % c.tapSize != 0) expected.push_back(c.frames % c.tapSize);
        EXPECT_EQ(received.lengths, expected) << c.frames << " in chunks of " << c.chunk;
        // The audio comes out whole and in order: sample i of the tone is sample i of the buffers.
        ASSERT_EQ(received.channel0.size(), c.frames);
        for (std::size_t i = 0; i < received.channel0.size(); i += 97) {
            const double tone = 0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * static_cast<double>(i) / 48000.0);
            ASSERT_NEAR(received.channel0[i], tone, 1e-6) << "sample " << i;
        }
    }
}

TEST_F(AVAudioInputNodeTest, BuffersInTheDevicesInterleavedFormatAndKeptBuffersStayIntact) {
    hardware->setCapture({4096 * 3, 1000, std::nullopt, {}});
    AVAudioEngine engine(hardware);
    ASSERT_TRUE(engine.inputNode().setInputDevice("stereo"));
    const std::optional<AVAudioFormat> format = engine.inputNode().outputFormatForBus(0);
    ASSERT_TRUE(format);
    EXPECT_EQ(*format, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 44100, 2, true));

    Received received;
    engine.inputNode().installTapOnBus(0, 4096, format, recordInto(received, true));
    engine.start();
    EXPECT_EQ(engine.inputNode().currentDevice(), "stereo");
    engine.stop();
    EXPECT_EQ(engine.inputNode().currentDevice(), "");

    ASSERT_EQ(received.kept.size(), 3u);
    EXPECT_NE(received.kept[0].get(), received.kept[1].get());
    for (std::size_t b = 0; b < received.kept.size(); ++b) {
        const float* samples = received.kept[b]->floatChannelData()[0];
        for (AVAudioFrameCount i = 0; i < 4096; i += 211) {
            const double t = static_cast<double>(b * 4096 + i) / 44100.0;
            EXPECT_NEAR(samples[2 * i], 0.5 * std::sin(2.0 * std::numbers::pi * 440.0 * t), 1e-6);
            EXPECT_NEAR(samples[2 * i + 1], 0.5 * std::sin(2.0 * std::numbers::pi * 1000.0 * t), 1e-6);
        }
    }
}

TEST_F(AVAudioInputNodeTest, BindingAnUnknownDeviceKeepsTheBinding) {
    AVAudioEngine engine(hardware);
    ASSERT_TRUE(engine.inputNode().setInputDevice("stereo"));
    EXPECT_FALSE(engine.inputNode().setInputDevice("unplugged"));
    EXPECT_EQ(engine.inputNode().inputDevice(), "stereo");
    EXPECT_EQ(engine.inputNode().outputFormatForBus(0)->channelCount(), 2u);
    ASSERT_TRUE(engine.inputNode().setInputDevice(""));
    EXPECT_EQ(engine.inputNode().outputFormatForBus(0)->channelCount(), 1u);
    EXPECT_EQ(engine.inputNode().outputFormatForBus(1), std::nullopt);
}

TEST_F(AVAudioInputNodeTest, RefusesTapsItCannotServe) {
    AVAudioEngine engine(hardware);
    AVAudioInputNode& node = engine.inputNode();
    const AVAudioFormat other = *AVAudioFormat::standard(16000, 1);
    EXPECT_THROW(node.installTapOnBus(1, 4096, std::nullopt, [](const AVAudioPCMBufferPtr&) {}), std::invalid_argument);
    EXPECT_THROW(node.installTapOnBus(0, 0, std::nullopt, [](const AVAudioPCMBufferPtr&) {}), std::invalid_argument);
    EXPECT_THROW(node.installTapOnBus(0, 4096, other, [](const AVAudioPCMBufferPtr&) {}), std::invalid_argument);
    node.installTapOnBus(0, 4096, std::nullopt, [](const AVAudioPCMBufferPtr&) {});
    EXPECT_THROW(node.installTapOnBus(0, 4096, std::nullopt, [](const AVAudioPCMBufferPtr&) {}), std::invalid_argument);
    node.removeTapOnBus(0);
    EXPECT_NO_THROW(node.installTapOnBus(0, 1024, std::nullopt, [](const AVAudioPCMBufferPtr&) {}));
}

TEST_F(AVAudioInputNodeTest, StartFailsClearlyWithoutAnInputOrWhenTheServerRefuses) {
    hardware->setInputs({}, std::nullopt);
    AVAudioEngine engine(hardware);
    try {
        engine.start();
        FAIL() << "started without an input";
    } catch (const NSError& error) {
        EXPECT_EQ(error.code(), AVAudioError::deviceUnavailable);
        EXPECT_EQ(error.localizedDescription(), "No audio input device is available.");
    }
    EXPECT_FALSE(engine.isRunning());

    hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
    hardware->setCapture({0, 480, AVAudioError::make(AVAudioError::captureFailed, "refused"), {}});
    AVAudioEngine refused(hardware);
    EXPECT_THROW(refused.start(), NSError);
    EXPECT_FALSE(refused.isRunning());
}

}  // namespace
}  // namespace platform
