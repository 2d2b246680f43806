#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Platform/audio/PCMSampleCopy.h"

namespace platform {
namespace {

struct CopyCase {
    AVAudioCommonFormat commonFormat;
    bool interleaved;
    // What float samples read back as after a trip through the format.
    std::vector<float> written;
    std::vector<float> readBack;
};

TEST(PCMSampleCopy, RoundTripsThroughEverySampleTypeAndLayout) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> in = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.5f, -1.5f, nan};
    const CopyCase cases[] = {
        {AVAudioCommonFormat::pcmFormatInt16, false, in,
         {0.0f, 0.5f, -0.5f, 32767.0f / 32768.0f, -1.0f, 32767.0f / 32768.0f, -1.0f, 0.0f}},
        {AVAudioCommonFormat::pcmFormatInt16, true, in,
         {0.0f, 0.5f, -0.5f, 32767.0f / 32768.0f, -1.0f, 32767.0f / 32768.0f, -1.0f, 0.0f}},
        {AVAudioCommonFormat::pcmFormatInt32, true, in,
         {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.0f, -1.0f, 0.0f}},
        {AVAudioCommonFormat::pcmFormatFloat32, true, in, in},
        {AVAudioCommonFormat::pcmFormatFloat64, false, in, in},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.commonFormat)) + (c.interleaved ? " interleaved" : ""));
        const auto format = *AVAudioFormat::make(c.commonFormat, 8000.0, 3, c.interleaved);
        const auto buffer = AVAudioPCMBuffer::make(format, static_cast<AVAudioFrameCount>(in.size() + 2));
        ASSERT_TRUE(buffer);
        // Channel 1, starting at frame 2: neighbours must stay untouched.
        pcm::writeChannel(*buffer, 1, 2, static_cast<AVAudioFrameCount>(c.written.size()), c.written.data());
        std::vector<float> out(c.written.size());
        pcm::readChannel(*buffer, 1, 2, static_cast<AVAudioFrameCount>(out.size()), out.data());
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (std::isnan(c.readBack[i])) {
                EXPECT_TRUE(std::isnan(out[i])) << i;
            } else {
                EXPECT_FLOAT_EQ(out[i], c.readBack[i]) << i;
            }
        }
        for (AVAudioChannelCount other : {0u, 2u}) {
            std::vector<float> untouched(in.size() + 2, 1.0f);
            pcm::readChannel(*buffer, other, 0, static_cast<AVAudioFrameCount>(untouched.size()), untouched.data());
            for (float s : untouched) EXPECT_EQ(s, 0.0f) << "channel " << other;
        }
    }
}

TEST(PCMSampleCopy, IntegerFullScaleMapsToMinusOne) {
    const auto buffer = AVAudioPCMBuffer::make(*AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 8000.0, 1, false), 2);
    ASSERT_TRUE(buffer);
    buffer->int16ChannelData()[0][0] = -32768;
    buffer->int16ChannelData()[0][1] = 16384;
    float out[2];
    pcm::readChannel(*buffer, 0, 0, 2, out);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 0.5f);
}

}  // namespace
}  // namespace platform
