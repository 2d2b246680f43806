#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Platform/audio/AVAudioFormat.h"

namespace platform {
namespace {

struct FormatCase {
    const char* name;
    AVAudioCommonFormat commonFormat;
    double sampleRate;
    AVAudioChannelCount channels;
    bool usable;
};

TEST(AVAudioFormat, AcceptsOnlyUsablePcmDescriptions) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const FormatCase cases[] = {
        {"float32 mono", AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 1, true},
        {"int16 stereo", AVAudioCommonFormat::pcmFormatInt16, 44100.0, 2, true},
        {"int32, odd rate", AVAudioCommonFormat::pcmFormatInt32, 22050.5, 3, true},
        {"float64, most channels", AVAudioCommonFormat::pcmFormatFloat64, 8000.0, AVAudioFormat::maxChannelCount, true},
        {"other format", AVAudioCommonFormat::otherFormat, 16000.0, 1, false},
        {"zero rate", AVAudioCommonFormat::pcmFormatFloat32, 0.0, 1, false},
        {"negative rate", AVAudioCommonFormat::pcmFormatFloat32, -16000.0, 1, false},
        {"NaN rate", AVAudioCommonFormat::pcmFormatFloat32, nan, 1, false},
        {"infinite rate", AVAudioCommonFormat::pcmFormatFloat32, inf, 1, false},
        {"no channels", AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 0, false},
        {"too many channels", AVAudioCommonFormat::pcmFormatFloat32, 16000.0, AVAudioFormat::maxChannelCount + 1, false},
    };
    for (const auto& c : cases) {
        for (bool interleaved : {false, true}) {
            const auto format = AVAudioFormat::make(c.commonFormat, c.sampleRate, c.channels, interleaved);
            ASSERT_EQ(format.has_value(), c.usable) << c.name;
            if (!format) continue;
            EXPECT_EQ(format->commonFormat(), c.commonFormat) << c.name;
            EXPECT_EQ(format->sampleRate(), c.sampleRate) << c.name;
            EXPECT_EQ(format->channelCount(), c.channels) << c.name;
            EXPECT_EQ(format->isInterleaved(), interleaved) << c.name;
        }
    }
}

TEST(AVAudioFormat, EqualityWeighsAllFourProperties) {
    const auto base = *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 1, false);
    EXPECT_EQ(base, *AVAudioFormat::standard(16000.0, 1));
    EXPECT_TRUE(base.isStandard());
    EXPECT_NE(base, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatInt16, 16000.0, 1, false));
    EXPECT_NE(base, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16001.0, 1, false));
    EXPECT_NE(base, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 2, false));
    EXPECT_NE(base, *AVAudioFormat::make(AVAudioCommonFormat::pcmFormatFloat32, 16000.0, 1, true));
}

}  // namespace
}  // namespace platform
