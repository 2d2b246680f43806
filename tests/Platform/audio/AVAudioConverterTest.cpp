#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Platform/audio/AVAudioConverter.h"
#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/PCMSampleCopy.h"
#include "tests/support/AudioSignals.h"

namespace platform {
namespace {

using Status = AVAudioConverterOutputStatus;
using InputStatus = AVAudioConverterInputStatus;
using ConstBuffer = std::shared_ptr<const AVAudioPCMBuffer>;

// A buffer in the format holding the given samples per channel.
AVAudioPCMBufferPtr bufferOf(const AVAudioFormat& format, const std::vector<std::vector<float>>& channels) {
    const auto frames = static_cast<AVAudioFrameCount>(channels.front().size());
    auto buffer = AVAudioPCMBuffer::make(format, frames);
    for (AVAudioChannelCount c = 0; c < channels.size(); ++c) pcm::writeChannel(*buffer, c, 0, frames, channels[c].data());
    buffer->setFrameLength(frames);
    return buffer;
}

std::vector<float> channelOf(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) {
    std::vector<float> samples(buffer.frameLength());
    pcm::readChannel(buffer, channel, 0, buffer.frameLength(), samples.data());
    return samples;
}

// Hands the buffers over one per request, then ends the stream.
struct Feeder {
    std::vector<ConstBuffer> buffers;
    std::size_t next = 0;
    int requests = 0;
    AVAudioConverterInputBlock block() {
        return [this](AVAudioPacketCount, InputStatus& status) -> ConstBuffer {
            ++requests;
            if (next == buffers.size()) {
                status = InputStatus::endOfStream;
                return nullptr;
            }
            status = InputStatus::haveData;
            return buffers[next++];
        };
    }
};

// Runs the converter to the end of the stream with output buffers of the given size and returns
// every output channel.
std::vector<std::vector<float>> drain(AVAudioConverter& converter, const AVAudioConverterInputBlock& block,
                                      AVAudioFrameCount outputFrames) {
    std::vector<std::vector<float>> channels(converter.outputFormat().channelCount());
    auto output = AVAudioPCMBuffer::make(converter.outputFormat(), outputFrames);
    for (int calls = 0; calls < 100000; ++calls) {
        std::optional<NSError> error;
        const Status status = converter.convert(*output, block, &error);
        EXPECT_NE(status, Status::error) << (error ? error->localizedDescription() : "");
        for (AVAudioChannelCount c = 0; c < channels.size(); ++c) {
            const auto part = channelOf(*output, c);
            channels[c].insert(channels[c].end(), part.begin(), part.end());
        }
        if (status == Status::endOfStream || status == Status::error) break;
    }
    return channels;
}

AVAudioFormat floatFormat(double rate, AVAudioChannelCount channels, bool interleaved = false) {
    return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, rate, channels, interleaved);
}

TEST(AVAudioConverter, ChangesSampleTypeLayoutAndChannelsAtTheSameRate) {
    const std::vector<float> left = {0.0f, 0.25f, -0.5f, 0.75f};
    const std::vector<float> right = {-0.25f, 0.5f, 0.125f, -1.0f};
    const std::vector<float> third = {0.5f, 0.5f, 0.5f, 0.5f};
    const std::vector<float> silent(4, 0.0f);
    const std::vector<float> mean = {-0.125f, 0.375f, -0.1875f, -0.125f};
    const std::vector<float> meanOfThree = {0.0833333358f, 0.416666657f, 0.0416666679f, 0.0833333358f};
    struct Case {
        const char* name;
        AVAudioFormat from;
        std::vector<std::vector<float>> in;
        AVAudioFormat to;
        std::vector<std::vector<float>> expected;
    };
    const auto int16Interleaved = [](AVAudioChannelCount n) {
        return *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 8000.0, n, true);
    };
    const Case cases[] = {
        {"int16 interleaved stereo to float stereo", int16Interleaved(2), {left, right}, floatFormat(8000, 2), {left, right}},
        {"float stereo to int16 interleaved stereo", floatFormat(8000, 2), {left, right}, int16Interleaved(2), {left, right}},
        {"stereo to mono mixes both channels", floatFormat(8000, 2), {left, right}, floatFormat(8000, 1), {mean}},
        {"interleaved stereo to mono mixes both channels", floatFormat(8000, 2, true), {left, right},
         floatFormat(8000, 1), {mean}},
        {"int16 stereo to mono mixes both channels", int16Interleaved(2), {left, right}, floatFormat(8000, 1), {mean}},
        {"three channels to mono mixes all three", floatFormat(8000, 3), {left, right, third}, floatFormat(8000, 1),
         {meanOfThree}},
        {"mono to stereo feeds both channels", int16Interleaved(1), {left}, floatFormat(8000, 2), {left, left}},
        {"three channels to two drops the third", floatFormat(8000, 3), {left, right, third}, floatFormat(8000, 2),
         {left, right}},
        {"two channels to three adds a silent one", floatFormat(8000, 2), {left, right}, floatFormat(8000, 3, true),
         {left, right, silent}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto converter = AVAudioConverter::make(c.from, c.to);
        ASSERT_TRUE(converter);
        Feeder feeder{{bufferOf(c.from, c.in)}};
        const auto out = drain(*converter, feeder.block(), 64);
        ASSERT_EQ(out.size(), c.expected.size());
        for (std::size_t ch = 0; ch < out.size(); ++ch) {
            ASSERT_EQ(out[ch].size(), c.expected[ch].size()) << "channel " << ch;
            for (std::size_t i = 0; i < out[ch].size(); ++i) {
                EXPECT_NEAR(out[ch][i], c.expected[ch][i], 1e-6f) << "channel " << ch << ", frame " << i;
            }
        }
    }
}

TEST(AVAudioConverter, ResampledLengthIsTheExactRatio) {
    struct Case {
        double from;
        double to;
        AVAudioFrameCount frames;
        std::size_t expected;
    };
    const Case cases[] = {
        {48000, 16000, 48000, 16000}, {44100, 16000, 44100, 16000}, {22050, 16000, 4410, 3200},
        {8000, 16000, 2000, 4000},    {16000, 48000, 1000, 3000},   {48000, 16000, 4096, 1365},
        {44100, 16000, 4096, 1486},   {48000, 16000, 1, 0},         {48000, 16000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to) + ", " + std::to_string(c.frames));
        auto converter = AVAudioConverter::make(floatFormat(c.from, 2), floatFormat(c.to, 1));
        ASSERT_TRUE(converter);
        Feeder feeder{{bufferOf(floatFormat(c.from, 2),
                                {testsupport::sine(440, c.from, c.frames), testsupport::sine(1000, c.from, c.frames)})}};
        const auto out = drain(*converter, feeder.block(), 4096);
        EXPECT_EQ(out[0].size(), c.expected);
    }
}

TEST(AVAudioConverter, AToneKeepsItsPitchAndBothChannelsAreHeard) {
    const AVAudioFrameCount frames = 48000;
    auto converter = AVAudioConverter::make(floatFormat(48000, 2, true), floatFormat(16000, 1));
    ASSERT_TRUE(converter);
    Feeder feeder{{bufferOf(floatFormat(48000, 2, true),
                            {testsupport::sine(440, 48000, frames), testsupport::sine(1000, 48000, frames)})}};
    const auto out = drain(*converter, feeder.block(), 1000)[0];
    const auto steady = testsupport::middle(out, 800);
    EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 440), 0.25, 0.01);
    EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 1000), 0.25, 0.01);
}

TEST(AVAudioConverter, PiecewiseInputGivesTheSameSamplesAsOneBuffer) {
    const auto in = testsupport::sine(440, 44100, 20000);
    const auto format = floatFormat(44100, 1);
    auto whole = AVAudioConverter::make(format, floatFormat(16000, 1));
    Feeder one{{bufferOf(format, {in})}};
    const auto expected = drain(*whole, one.block(), 100000)[0];

    // Uneven pieces, each offered once per call; the calls in between run dry.
    Feeder pieces;
    for (std::size_t start = 0, size = 1; start < in.size(); start += size, size = size * 3 % 4093 + 1) {
        const std::size_t end = std::min(in.size(), start + size);
        pieces.buffers.push_back(bufferOf(format, {{in.begin() + start, in.begin() + end}}));
    }
    auto converter = AVAudioConverter::make(format, floatFormat(16000, 1));
    auto output = AVAudioPCMBuffer::make(converter->outputFormat(), 1365);
    std::vector<float> got;
    bool offered = false;
    const AVAudioConverterInputBlock oncePerCall = [&](AVAudioPacketCount, InputStatus& status) -> ConstBuffer {
        if (offered) {
            status = InputStatus::noDataNow;
            return nullptr;
        }
        offered = true;
        if (pieces.next == pieces.buffers.size()) {
            status = InputStatus::endOfStream;
            return nullptr;
        }
        status = InputStatus::haveData;
        return pieces.buffers[pieces.next++];
    };
    for (Status status = Status::haveData; status != Status::endOfStream;) {
        offered = false;
        status = converter->convert(*output, oncePerCall);
        ASSERT_NE(status, Status::error);
        const auto part = channelOf(*output, 0);
        got.insert(got.end(), part.begin(), part.end());
    }
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 1e-6f) << i;
}

TEST(AVAudioConverter, InputBeyondTheOutputsRoomWaitsForTheNextCall) {
    const auto format = floatFormat(16000, 1);
    const auto in = testsupport::sine(440, 16000, 1000);
    auto converter = AVAudioConverter::make(format, format);
    Feeder feeder{{bufferOf(format, {in})}};
    auto output = AVAudioPCMBuffer::make(format, 300);
    std::vector<float> got;
    Status status = Status::haveData;
    while (status == Status::haveData) {
        status = converter->convert(*output, feeder.block());
        const auto part = channelOf(*output, 0);
        got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(status, Status::endOfStream);
    EXPECT_EQ(got, in);
    EXPECT_EQ(feeder.requests, 2);  // the buffer, then the end of the stream
}

TEST(AVAudioConverter, TheEndOfTheStreamStaysUntilReset) {
    const auto from = floatFormat(48000, 1);
    auto converter = AVAudioConverter::make(from, floatFormat(16000, 1));
    Feeder feeder{{bufferOf(from, {testsupport::sine(440, 48000, 4800)})}};
    const auto first = drain(*converter, feeder.block(), 512)[0];
    EXPECT_EQ(first.size(), 1600u);

    auto output = AVAudioPCMBuffer::make(converter->outputFormat(), 512);
    const int requests = feeder.requests;
    EXPECT_EQ(converter->convert(*output, feeder.block()), Status::endOfStream);
    EXPECT_EQ(output->frameLength(), 0u);
    EXPECT_EQ(feeder.requests, requests);

    converter->reset();
    feeder.next = 0;
    EXPECT_EQ(drain(*converter, feeder.block(), 512)[0], first);
}

TEST(AVAudioConverter, RunningDryReturnsWhatIsReadyAndGoesOnLater) {
    const auto format = floatFormat(16000, 1);
    auto converter = AVAudioConverter::make(format, format);
    auto output = AVAudioPCMBuffer::make(format, 100);
    const auto first = bufferOf(format, {std::vector<float>(30, 0.25f)});
    int call = 0;
    const AVAudioConverterInputBlock block = [&](AVAudioPacketCount, InputStatus& status) -> ConstBuffer {
        ++call;
        status = call == 1 ? InputStatus::haveData : InputStatus::noDataNow;
        return call == 1 ? first : nullptr;
    };
    EXPECT_EQ(converter->convert(*output, block), Status::inputRanDry);
    EXPECT_EQ(output->frameLength(), 30u);
    EXPECT_EQ(converter->convert(*output, block), Status::inputRanDry);
    EXPECT_EQ(output->frameLength(), 0u);
}

TEST(AVAudioConverter, MisuseEndsInAnErrorNotACrash) {
    const auto from = floatFormat(48000, 2);
    const auto to = floatFormat(16000, 1);
    const auto good = bufferOf(from, {std::vector<float>(10, 0.1f), std::vector<float>(10, 0.2f)});
    const auto wrongInput = bufferOf(floatFormat(44100, 2), {std::vector<float>(10, 0.1f), std::vector<float>(10, 0.2f)});
    struct Case {
        const char* name;
        AVAudioFormat outputFormat;
        ConstBuffer given;
        long code;
    };
    const Case cases[] = {
        {"input buffer in another format", to, wrongInput, AVAudioError::formatMismatch},
        {"data promised, no buffer given", to, nullptr, AVAudioError::conversionFailed},
        {"output buffer in another format", floatFormat(16000, 2), good, AVAudioError::formatMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto converter = AVAudioConverter::make(from, to);
        auto output = AVAudioPCMBuffer::make(c.outputFormat, 100);
        std::optional<NSError> error;
        const Status status = converter->convert(
            *output,
            [&](AVAudioPacketCount, InputStatus& s) -> ConstBuffer {
                s = InputStatus::haveData;
                return c.given;
            },
            &error);
        EXPECT_EQ(status, Status::error);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->domain(), AVAudioError::domain);
        EXPECT_EQ(error->code(), c.code);
        EXPECT_FALSE(error->localizedDescription().empty());
    }
}

}  // namespace
}  // namespace platform
