#include "Parloquin/services/RecordingTap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/services/SampleRing.h"
#include "Platform/audio/AVAudioConverter.h"
#include "tests/support/AudioSignals.h"

namespace parloquin {
namespace {

using platform::AVAudioFormat;
using platform::AVAudioFrameCount;
using platform::AVAudioPCMBuffer;
using platform::AVAudioPCMBufferPtr;

// An interleaved float signal: the tone on channel 0, half its level on the others.
std::vector<float> interleavedTone(const AVAudioFormat& format, std::size_t frames, double frequency) {
    const std::vector<float> tone = testsupport::sine(frequency, format.sampleRate(), frames);
    const std::size_t channels = format.channelCount();
    std::vector<float> samples(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        for (std::size_t c = 0; c < channels; ++c) samples[i * channels + c] = c == 0 ? tone[i] : 0.5f * tone[i];
    }
    return samples;
}

AVAudioPCMBufferPtr bufferOf(const AVAudioFormat& format, const float* interleaved, AVAudioFrameCount frames) {
    AVAudioPCMBufferPtr buffer = AVAudioPCMBuffer::make(format, frames);
    std::copy(interleaved, interleaved + std::size_t{frames} * format.channelCount(), buffer->floatChannelData()[0]);
    buffer->setFrameLength(frames);
    return buffer;
}

// The whole signal through one converter in one go, its tail flushed: what a recording must equal.
std::vector<float> convertWhole(const AVAudioFormat& format, const std::vector<float>& interleaved) {
    const auto frames = static_cast<AVAudioFrameCount>(interleaved.size() / format.channelCount());
    auto converter = platform::AVAudioConverter::make(format, RecordingTap::targetFormat());
    auto input = bufferOf(format, interleaved.data(), frames);
    auto output = AVAudioPCMBuffer::make(RecordingTap::targetFormat(),
                                        static_cast<AVAudioFrameCount>(frames * 16000.0 / format.sampleRate()) + 4096);
    bool given = false;
    converter->convert(*output, [&](platform::AVAudioPacketCount, platform::AVAudioConverterInputStatus& status) {
        status = given ? platform::AVAudioConverterInputStatus::endOfStream
                       : platform::AVAudioConverterInputStatus::haveData;
        const bool first = !given;
        given = true;
        return first ? std::shared_ptr<const AVAudioPCMBuffer>(input) : nullptr;
    });
    return std::vector<float>(output->floatChannelData()[0], output->floatChannelData()[0] + output->frameLength());
}

TEST(RecordingTapTest, ARecordingEqualsItsWholeSignalConvertedAtOnce) {
    struct Case {
        double rate;
        platform::AVAudioChannelCount channels;
        AVAudioFrameCount bufferFrames;
    };
    const Case cases[] = {
        {48000, 1, 4096},
        {44100, 2, 4096},
        {16000, 1, 4096},  // already the target rate
        {8000, 1, 1024},   // up-sampling: a buffer gives more frames than it has
        {96000, 1, 333},   // small buffers that do not divide the signal
    };
    for (const Case& c : cases) {
        const AVAudioFormat format =
            *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, c.rate, c.channels, true);
        const std::size_t frames = static_cast<std::size_t>(c.rate * 1.3) + 17;
        const std::vector<float> signal = interleavedTone(format, frames, 440.0);
        auto tap = RecordingTap::make(format, c.bufferFrames);
        ASSERT_TRUE(tap);

        std::vector<float> recorded;
        for (std::size_t at = 0; at < frames; at += c.bufferFrames) {
            const auto count = static_cast<AVAudioFrameCount>(std::min<std::size_t>(c.bufferFrames, frames - at));
            tap->process(bufferOf(format, signal.data() + at * c.channels, count));
            if (at % (5 * c.bufferFrames) == 0) tap->takeSamples(recorded);  // the main thread takes now and then
        }
        tap->finish();
        tap->takeSamples(recorded);

        const std::vector<float> whole = convertWhole(format, signal);
        const std::string label = std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels";
        ASSERT_EQ(recorded.size(), whole.size()) << label;
        EXPECT_NEAR(static_cast<double>(recorded.size()), frames * 16000.0 / c.rate, 2.0) << label;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            ASSERT_NEAR(recorded[i], whole[i], 1e-5) << label << ", sample " << i;
        }
        EXPECT_EQ(tap->droppedSamples(), 0u);
    }
}

TEST(RecordingTapTest, AStereoRecordingWithOneSpeakerPerChannelKeepsBoth) {
    const AVAudioFormat format = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 2, true);
    const std::size_t frames = 48000;
    const std::vector<float> left = testsupport::sine(440, 48000, frames);
    const std::vector<float> right = testsupport::sine(1000, 48000, frames);
    std::vector<float> signal(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        signal[2 * i] = left[i];
        signal[2 * i + 1] = right[i];
    }
    auto tap = RecordingTap::make(format);
    ASSERT_TRUE(tap);
    for (std::size_t at = 0; at < frames; at += 4096) {
        const auto count = static_cast<AVAudioFrameCount>(std::min<std::size_t>(4096, frames - at));
        tap->process(bufferOf(format, signal.data() + 2 * at, count));
    }
    tap->finish();
    std::vector<float> recorded;
    tap->takeSamples(recorded);
    const auto steady = testsupport::middle(recorded, 800);
    EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 440), 0.25, 0.01) << "the left speaker";
    EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 1000), 0.25, 0.01) << "the right speaker";
}

TEST(RecordingTapTest, TheLevelIsThatOfTheLastBuffer) {
    const AVAudioFormat format = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, true);
    auto tap = RecordingTap::make(format);
    std::vector<float> loud(4096, 1.0f);
    std::vector<float> quiet(4096, 0.01f);
    std::vector<float> silent(4096, 0.0f);
    tap->process(bufferOf(format, loud.data(), 4096));
    tap->process(bufferOf(format, loud.data(), 4096));
    EXPECT_NEAR(tap->level(), 1.0f, 0.01f);
    tap->process(bufferOf(format, quiet.data(), 4096));
    tap->process(bufferOf(format, quiet.data(), 4096));
    EXPECT_NEAR(tap->level(), 1.0f / 3.0f, 0.01f);
    tap->process(bufferOf(format, silent.data(), 4096));
    tap->process(bufferOf(format, silent.data(), 4096));
    EXPECT_EQ(tap->level(), 0.0f);
}

TEST(RecordingTapTest, ABufferInAnotherFormatIsDroppedAndTheRecordingGoesOn) {
    const AVAudioFormat format = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 1, true);
    const AVAudioFormat other = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 48000, 2, true);
    auto tap = RecordingTap::make(format);
    std::vector<float> samples(8192, 0.25f);
    tap->process(bufferOf(other, samples.data(), 4096));
    std::vector<float> recorded;
    tap->takeSamples(recorded);
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(tap->level(), 0.0f);
    tap->process(bufferOf(format, samples.data(), 4096));
    tap->takeSamples(recorded);
    EXPECT_FALSE(recorded.empty());
}

TEST(RecordingTapTest, OutputThatTheMainThreadDoesNotTakeInTimeIsCounted) {
    const AVAudioFormat format = *AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, true);
    auto tap = RecordingTap::make(format, 4096, 0.1);  // room for 1600 samples
    std::vector<float> samples(4096, 0.1f);
    tap->process(bufferOf(format, samples.data(), 4096));
    EXPECT_EQ(tap->droppedSamples(), 4096u - 1600u);
    std::vector<float> recorded;
    tap->takeSamples(recorded);
    EXPECT_EQ(recorded.size(), 1600u);
}

TEST(RecordingTapTest, OutputCapacityOfOneBuffer) {
    struct Case {
        AVAudioFrameCount frames;
        double rate;
        AVAudioFrameCount capacity;
    };
    const Case cases[] = {{4096, 48000, 1365}, {4096, 44100, 1486}, {4096, 16000, 4096}, {4096, 8000, 8192}, {0, 48000, 0}};
    for (const Case& c : cases) EXPECT_EQ(RecordingTap::outputCapacity(c.frames, c.rate), c.capacity) << c.rate;
}

TEST(SampleRingTest, KeepsOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    SampleRing ring(5);
    std::vector<float> out;
    const float a[] = {1, 2, 3};
    const float b[] = {4, 5, 6, 7, 8};
    EXPECT_EQ(ring.write(a, 3), 3u);
    ring.drainInto(out);
    EXPECT_EQ(ring.write(b, 5), 5u);  // wraps
    EXPECT_EQ(ring.write(a, 3), 0u);  // full
    ring.drainInto(out);
    ring.drainInto(out);  // nothing new
    EXPECT_EQ(out, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
}

}  // namespace
}  // namespace parloquin
