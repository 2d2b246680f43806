#include <gtest/gtest.h>

#include <stdexcept>

#include "Platform/audio/AVAudioPCMBuffer.h"

namespace platform {
namespace {

struct LayoutCase {
    AVAudioCommonFormat commonFormat;
    AVAudioChannelCount channels;
    bool interleaved;
    AVAudioChannelCount pointers;
    std::size_t stride;
};

TEST(AVAudioPCMBuffer, ChannelDataFollowsTheLayout) {
    const LayoutCase cases[] = {
        {AVAudioCommonFormat::pcmFormatFloat32, 1, false, 1, 1},
        {AVAudioCommonFormat::pcmFormatFloat32, 3, false, 3, 1},
        {AVAudioCommonFormat::pcmFormatFloat32, 3, true, 1, 3},
        {AVAudioCommonFormat::pcmFormatInt16, 2, false, 2, 1},
        {AVAudioCommonFormat::pcmFormatInt16, 2, true, 1, 2},
        {AVAudioCommonFormat::pcmFormatInt32, 2, true, 1, 2},
        {AVAudioCommonFormat::pcmFormatFloat64, 2, false, 2, 1},
    };
    for (const auto& c : cases) {
        const auto format = *AVAudioFormat::make(c.commonFormat, 48000.0, c.channels, c.interleaved);
        const auto buffer = AVAudioPCMBuffer::make(format, 100);
        ASSERT_TRUE(buffer);
        SCOPED_TRACE(std::to_string(static_cast<int>(c.commonFormat)) + "/" + std::to_string(c.channels) + "/" +
                     std::to_string(c.interleaved));
        EXPECT_EQ(buffer->channelDataCount(), c.pointers);
        EXPECT_EQ(buffer->stride(), c.stride);
        EXPECT_EQ(buffer->frameCapacity(), 100u);
        EXPECT_EQ(buffer->frameLength(), 0u);
        EXPECT_EQ(buffer->floatChannelData() != nullptr, c.commonFormat == AVAudioCommonFormat::pcmFormatFloat32);
        EXPECT_EQ(buffer->int16ChannelData() != nullptr, c.commonFormat == AVAudioCommonFormat::pcmFormatInt16);
        EXPECT_EQ(buffer->int32ChannelData() != nullptr, c.commonFormat == AVAudioCommonFormat::pcmFormatInt32);
        // Every sample of every channel is writable and starts at zero.
        const std::size_t bytes = bytesPerSample(c.commonFormat) * 100 * c.channels / c.pointers;
        for (AVAudioChannelCount p = 0; p < c.pointers; ++p) {
            auto* data = static_cast<unsigned char*>(buffer->rawChannelData()[p]);
            for (std::size_t i = 0; i < bytes; ++i) ASSERT_EQ(data[i], 0);
            data[bytes - 1] = 1;
        }
    }
}

TEST(AVAudioPCMBuffer, FrameLengthStaysWithinCapacity) {
    const auto buffer = AVAudioPCMBuffer::make(*AVAudioFormat::standard(16000.0, 1), 10);
    ASSERT_TRUE(buffer);
    buffer->setFrameLength(10);
    EXPECT_EQ(buffer->frameLength(), 10u);
    EXPECT_THROW(buffer->setFrameLength(11), std::out_of_range);
    EXPECT_EQ(buffer->frameLength(), 10u);
}

TEST(AVAudioPCMBuffer, ZeroCapacityStillHasChannelData) {
    const auto buffer = AVAudioPCMBuffer::make(*AVAudioFormat::standard(16000.0, 2), 0);
    ASSERT_TRUE(buffer);
    ASSERT_NE(buffer->floatChannelData(), nullptr);
    EXPECT_NE(buffer->floatChannelData()[1], nullptr);
}

TEST(AVAudioPCMBuffer, AnImpossibleSizeIsRefusedNotAttempted) {
    const auto format = *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat64, 48000.0,
                                             AVAudioFormat::maxChannelCount, false);
    EXPECT_EQ(AVAudioPCMBuffer::make(format, 0xFFFFFFFFu), nullptr);
}

}  // namespace
}  // namespace platform
