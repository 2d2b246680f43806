#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFile.h"
#include "Platform/audio/PCMSampleCopy.h"
#include "Platform/log/LogCapture.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "RarivOredu/shared/AudioConverterError.h"
#include "RarivOredu/shared/AudioWAV.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/WavHeader.h"

namespace rarivoredu {
namespace {

using platform::AVAudioChannelCount;
using platform::AVAudioCommonFormat;
using platform::AVAudioFormat;
using platform::AVAudioFrameCount;
using platform::AVAudioPCMBuffer;
using platform::AVAudioPCMBufferPtr;

AVAudioFormat format(AVAudioCommonFormat common, double rate, AVAudioChannelCount channels, bool interleaved) {
    return *AVAudioFormat::make(common, rate, channels, interleaved);
}

AVAudioFormat floatFormat(double rate, AVAudioChannelCount channels, bool interleaved = false) {
    return format(AVAudioCommonFormat::pcmFormatFloat32, rate, channels, interleaved);
}

AVAudioPCMBufferPtr bufferOf(const AVAudioFormat& f, const std::vector<std::vector<float>>& channels,
                             AVAudioFrameCount frames) {
    auto buffer = AVAudioPCMBuffer::make(f, frames);
    for (AVAudioChannelCount c = 0; c < channels.size(); ++c) {
        platform::pcm::writeChannel(*buffer, c, 0, frames, channels[c].data());
    }
    buffer->setFrameLength(frames);
    return buffer;
}

std::vector<std::string> converterLog(const platform::LogCapture& log) {
    std::vector<std::string> lines;
    for (const auto& entry : log.entries()) {
        if (entry.category != "AudioConverter") continue;
        EXPECT_EQ(entry.type, platform::OSLogType::debug) << entry.message;
        lines.push_back(entry.message);
    }
    return lines;
}

// Distinct, uneven samples per channel so that a wrong channel or frame shows.
std::vector<std::vector<float>> distinctChannels(AVAudioChannelCount channels, AVAudioFrameCount frames) {
    std::vector<std::vector<float>> data(channels, std::vector<float>(frames));
    for (AVAudioChannelCount c = 0; c < channels; ++c) {
        for (AVAudioFrameCount i = 0; i < frames; ++i) {
            data[c][i] = static_cast<float>((i * 37 + c * 101) % 199) / 199.0f - 0.5f + 0.25f * static_cast<float>(c);
        }
    }
    return data;
}

// mono[i] = (1 / channels) * (sum of the channels), in single precision.
std::vector<float> averaged(const std::vector<std::vector<float>>& channels) {
    std::vector<float> mono(channels.front().size());
    const float scale = 1.0f / static_cast<float>(channels.size());
    for (std::size_t i = 0; i < mono.size(); ++i) {
        float sum = 0.0f;
        for (const auto& channel : channels) sum += channel[i];
        mono[i] = scale * sum;
    }
    return mono;
}

TEST(AudioConverter, ABufferAlreadyInTheTargetFormatIsCopiedAsItIs) {
    platform::LogCapture log;
    const AudioConverter converter;
    const auto samples = distinctChannels(1, 500);
    const auto buffer = bufferOf(floatFormat(16000, 1), samples, 500);
    EXPECT_TRUE(converter.matchesTargetFormat(buffer->format()));
    EXPECT_EQ(converter.resampleBuffer(*buffer), samples[0]);
    EXPECT_TRUE(converterLog(log).empty());
}

TEST(AudioConverter, TheTargetFormatMatchesOnlyInAllFourProperties) {
    const AudioConverter converter;
    EXPECT_EQ(converter.targetFormat(), floatFormat(16000, 1));
    EXPECT_TRUE(converter.matchesTargetFormat(floatFormat(16000, 1)));
    EXPECT_FALSE(converter.matchesTargetFormat(floatFormat(16000, 1, true)));
    EXPECT_FALSE(converter.matchesTargetFormat(floatFormat(16000, 2)));
    EXPECT_FALSE(converter.matchesTargetFormat(floatFormat(44100, 1)));
    EXPECT_FALSE(converter.matchesTargetFormat(format(AVAudioCommonFormat::pcmFormatInt16, 16000, 1, false)));
}

TEST(AudioConverter, OneOrTwoChannelsGoThroughThePlatformConverterMixingStereo) {
    struct Case {
        const char* name;
        AVAudioFormat from;
        AVAudioFrameCount frames;
        std::size_t expected;
        const char* logLine;
    };
    const Case cases[] = {
        {"48 kHz stereo float", floatFormat(48000, 2), 48000, 16000,
         "Audio conversion: 48000 samples → 16000 samples, ratio: 0.3333333333333333"},
        {"44.1 kHz interleaved int16 stereo", format(AVAudioCommonFormat::pcmFormatInt16, 44100, 2, true), 44100, 16000,
         "Audio conversion: 44100 samples → 16000 samples, ratio: 0.36281179138321995"},
        {"8 kHz mono", floatFormat(8000, 1), 8000, 16000, "Audio conversion: 8000 samples → 16000 samples, ratio: 2.0"},
        {"16 kHz interleaved stereo", floatFormat(16000, 2, true), 16000, 16000,
         "Audio conversion: 16000 samples → 16000 samples, ratio: 1.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::LogCapture log;
        const double rate = c.from.sampleRate();
        std::vector<std::vector<float>> channels = {testsupport::sine(440, rate, c.frames)};
        if (c.from.channelCount() == 2) channels.push_back(testsupport::sine(1000, rate, c.frames));
        const auto samples = AudioConverter().resampleBuffer(*bufferOf(c.from, channels, c.frames));
        ASSERT_EQ(samples.size(), c.expected);
        const auto steady = testsupport::middle(samples, 800);
        if (c.from.channelCount() == 2) {
            // Both speakers are heard, each at half its level.
            EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 440), 0.25, 0.01);
            EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 1000), 0.25, 0.01) << "the second channel is lost";
        } else {
            EXPECT_NEAR(testsupport::zeroCrossingFrequency(steady, 16000), 440.0, 0.05);
            EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 440), 0.5, 0.01);
        }
        EXPECT_EQ(converterLog(log), std::vector<std::string>{c.logLine});
    }
}

TEST(AudioConverter, ThreeOrMoreChannelsAreAveragedAndInterpolatedInEitherLayout) {
    struct Case {
        const char* name;
        AVAudioChannelCount channels;
        double rate;
        AVAudioFrameCount frames;
        std::function<std::vector<float>(const std::vector<float>& mono)> expected;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"4 channels, 48 kHz to 16 kHz: every third frame", 4, 48000, 48000,
         [](const std::vector<float>& mono) {
             std::vector<float> out(16000);
             for (std::size_t i = 0; i < out.size(); ++i) out[i] = mono[3 * i];
             return out;
         },
         {"Manual resampling: 4 channels → mono, 48000.0Hz → 16000.0Hz"}},
        {"3 channels, 10 frames at 44.1 kHz: positions 0, 2.75625, 5.5125", 3, 44100, 10,
         [](const std::vector<float>& mono) {
             const float f1 = static_cast<float>(2.75625 - 2.0);
             const float f2 = static_cast<float>(5.5125 - 5.0);
             return std::vector<float>{mono[0], (1.0f - f1) * mono[2] + mono[3] * f1,
                                       (1.0f - f2) * mono[5] + mono[6] * f2};
         },
         {"Manual resampling: 3 channels → mono, 44100.0Hz → 16000.0Hz"}},
        {"4 channels already at 16 kHz: only averaged", 4, 16000, 300,
         [](const std::vector<float>& mono) { return mono; }, {}},
        {"no frames, other rate: empty, still logged", 6, 48000, 0,
         [](const std::vector<float>&) { return std::vector<float>{}; },
         {"Manual resampling: 6 channels → mono, 48000.0Hz → 16000.0Hz"}},
        {"no frames, same rate: empty, silent", 4, 16000, 0,
         [](const std::vector<float>&) { return std::vector<float>{}; }, {}},
    };
    for (const auto& c : cases) {
        for (bool interleaved : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (interleaved ? ", interleaved" : ", one block per channel"));
            platform::LogCapture log;
            const auto channels = distinctChannels(c.channels, c.frames);
            const auto buffer = bufferOf(floatFormat(c.rate, c.channels, interleaved), channels, c.frames);
            const auto mono = c.frames > 0 ? averaged(channels) : std::vector<float>{};
            EXPECT_EQ(AudioConverter().resampleBuffer(*buffer), c.expected(mono));
            EXPECT_EQ(converterLog(log), c.log);
        }
    }
}

TEST(AudioConverter, FirstChannelExtractionHonoursInterleaving) {
    const AudioConverter converter;
    const auto stereo = distinctChannels(2, 100);
    EXPECT_EQ(converter.extractFloatArray(*bufferOf(floatFormat(16000, 2, true), stereo, 100)), stereo[0]);
    EXPECT_EQ(converter.extractFloatArray(*bufferOf(floatFormat(16000, 2), stereo, 100)), stereo[0]);
    EXPECT_TRUE(converter.extractFloatArray(*bufferOf(floatFormat(16000, 2), stereo, 0)).empty());
    EXPECT_TRUE(
        converter.extractFloatArray(*bufferOf(format(AVAudioCommonFormat::pcmFormatInt16, 16000, 2, true), stereo, 100))
            .empty());
}

TEST(AudioConverter, AnInterleavedStereoTargetYieldsItsFirstChannel) {
    const AudioConverter converter(floatFormat(16000, 2, true));
    const auto samples = converter.resampleBuffer(*bufferOf(
        floatFormat(48000, 2), {testsupport::sine(440, 48000, 48000), testsupport::sine(1000, 48000, 48000)}, 48000));
    ASSERT_EQ(samples.size(), 16000u);
    const auto steady = testsupport::middle(samples, 800);
    EXPECT_NEAR(testsupport::zeroCrossingFrequency(steady, 16000), 440.0, 0.05);
    EXPECT_LT(testsupport::toneAmplitude(steady, 16000, 1000), 0.001);
}

TEST(AudioConverter, AveragingNeedsFloatSamples) {
    const auto buffer = bufferOf(format(AVAudioCommonFormat::pcmFormatInt16, 48000, 4, true), distinctChannels(4, 10), 10);
    try {
        AudioConverter().resampleBuffer(*buffer);
        FAIL() << "converted";
    } catch (const AudioConverterError& error) {
        EXPECT_EQ(error.kind(), AudioConverterError::Kind::failedToCreateBuffer);
    }
}

struct FileFixture {
    const char* name;
    std::size_t samplesAt16k;
    bool stereo;
};

TEST(AudioConverter, EveryFixtureBecomes16kHzMonoOfTheRightLengthAndPitch) {
    const FileFixture fixtures[] = {
        {"tone440.wav", 3200, false}, {"tone440.aiff", 3200, true}, {"tone440.caf", 4000, false},
        {"tone440.mp3", 8000, true},  {"tone440.m4a", 8000, true},
    };
    const AudioConverter converter;
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.name);
        const auto samples = converter.resampleAudioFile(testsupport::audioFixture(f.name));
        ASSERT_EQ(samples.size(), f.samplesAt16k);
        const auto steady = testsupport::middle(samples, samples.size() / 10);
        // Stereo fixtures carry 1000 Hz on the right: both channels are mixed, each at half its level.
        const double level = f.stereo ? 0.0625 : 0.125;
        EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 440), level, 0.01);
        if (f.stereo) {
            EXPECT_NEAR(testsupport::toneAmplitude(steady, 16000, 1000), level, 0.01);
        } else {
            EXPECT_NEAR(testsupport::zeroCrossingFrequency(steady, 16000), 440.0, 1.0);
        }
    }
    EXPECT_EQ(converter.resampleAudioFileAtPath(testsupport::audioFixture("tone440.caf").string()),
              converter.resampleAudioFile(testsupport::audioFixture("tone440.caf")));
}

TEST(AudioConverter, FileErrorsPassThroughUnchanged) {
    testsupport::TemporaryDirectory dir;
    const AudioConverter converter;
    const std::pair<std::filesystem::path, long> cases[] = {
        {dir.path() / "missing.m4a", platform::AVAudioError::fileNotFound},
        {testsupport::writeFile(dir / "empty.wav", ""), platform::AVAudioError::unsupportedFile},
        {testsupport::writeFile(dir / "notes.wav", "Not a sound in here.\n"), platform::AVAudioError::unsupportedFile},
    };
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path.string());
        try {
            converter.resampleAudioFile(path);
            FAIL() << "converted";
        } catch (const platform::NSError& error) {
            EXPECT_EQ(error.domain(), platform::AVAudioError::domain);
            EXPECT_EQ(error.code(), code);
        }
    }
}

// A CAF header whose data runs to the end of the file: 8-bit mono at 8 kHz, one frame per byte.
std::string cafHeaderWithOpenEndedData() {
    std::string h = "caff";
    auto be = [&h](std::uint64_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) h.push_back(static_cast<char>(v >> (8 * i)));
    };
    be(1, 2);
    be(0, 2);
    h += "desc";
    be(32, 8);
    be(0x40BF400000000000ull, 8);  // 8000.0 as a big-endian double
    h += "lpcm";
    be(0, 4);   // big-endian integers
    be(1, 4);   // bytes per packet
    be(1, 4);   // frames per packet
    be(1, 4);   // channels
    be(8, 4);   // bits per channel
    h += "data";
    be(~0ull, 8);  // size unknown: up to the end of the file
    be(0, 4);      // edit count
    return h;
}

TEST(AudioConverter, AFileLongerThanABufferCanHoldIsRefusedNotCutShort) {
    testsupport::TemporaryDirectory dir;
    const auto path = testsupport::writeFile(dir / "long.caf", cafHeaderWithOpenEndedData());
    // 2^32 + 100 frames of silence, without writing them: a sparse file.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) + (std::uint64_t{1} << 32) + 100);
    try {
        AudioConverter().resampleAudioFile(path);
        FAIL() << "converted";
    } catch (const AudioConverterError& error) {
        EXPECT_EQ(error.kind(), AudioConverterError::Kind::failedToCreateBuffer);
    }
}

// An AIFF header that claims 2^31 − 1 frames of three channels at 1 Hz and holds none (libsndfile
// refuses it for its missing sound chunk, FFmpeg reads the frames claimed): its converted length
// would be 3.4·10^13 samples.
std::string aiffClaimingFrames() {
    std::string h = "FORM";
    auto be = [&h](std::uint64_t v, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) h.push_back(static_cast<char>(v >> (8 * i)));
    };
    be(30, 4);
    h += "AIFFCOMM";
    be(18, 4);
    be(3, 2);            // channels
    be(0x7fffffff, 4);   // frames
    be(16, 2);           // bits
    be(0x3fff, 2);       // 1.0 as an 80-bit extended float: exponent,
    be(0x8000000000000000ull, 8);  // mantissa
    return h;
}

// The converter reserves memory from what was decoded, not from what a header claims: before,
// this file of 38 bytes made it ask for 137 TB and std::bad_alloc escaped.
TEST(AudioConverter, AHeaderClaimingFramesItDoesNotHoldCostsNoMemory) {
    testsupport::TemporaryDirectory dir;
    const auto path = testsupport::writeFile(dir / "claims.aiff", aiffClaimingFrames());
    try {
        const auto samples = AudioConverter().resampleAudioFile(path);
        EXPECT_LT(samples.size(), 16u);
    } catch (const platform::NSError&) {
        // libsndfile may refuse the header; what matters is that nothing else escapes.
    } catch (const AudioConverterError&) {
    }
}

// A 16-bit PCM WAV file of the channels' samples (each in -1…1).
std::string wavOf(const std::vector<std::vector<float>>& channels, std::uint32_t rate) {
    const auto frames = static_cast<std::uint32_t>(channels.front().size());
    std::string file = testsupport::wavHeader(static_cast<std::uint16_t>(channels.size()), rate, frames);
    for (std::uint32_t i = 0; i < frames; ++i) {
        for (const auto& channel : channels) {
            const auto sample = static_cast<std::uint16_t>(std::lrint(channel[i] * 30000.0f));
            file.push_back(static_cast<char>(sample & 0xff));
            file.push_back(static_cast<char>(sample >> 8));
        }
    }
    return file;
}

// A file is read and converted a block at a time, with the samples the whole file in one buffer
// gives: whichever road it takes, and across the seams of the blocks.
TEST(AudioConverter, AFileIsConvertedBlockByBlockAsOneBufferOfItWouldBe) {
    struct Case {
        const char* name;
        AVAudioChannelCount channels;
        std::uint32_t rate;
        AVAudioFrameCount frames;
    };
    const Case cases[] = {
        {"stereo 48 kHz, the platform converter", 2, 48000, 200000},
        {"mono 44.1 kHz, the platform converter", 1, 44100, 140001},
        {"5 channels 44.1 kHz, averaged and interpolated", 5, 44100, 140001},
        {"3 channels 192 kHz, a step of 12 frames", 3, 192000, 131075},
        {"4 channels 16 kHz, only averaged", 4, 16000, 70000},
        {"mono 16 kHz, copied", 1, 16000, 70000},
    };
    testsupport::TemporaryDirectory dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto channels = distinctChannels(c.channels, c.frames);
        for (auto& channel : channels) {
            for (auto& sample : channel) sample *= 0.5f;
        }
        const auto path = testsupport::writeFile(dir / "long.wav", wavOf(channels, c.rate));
        platform::AVAudioFile file(path);
        auto whole = AVAudioPCMBuffer::make(file.processingFormat(), c.frames);
        file.read(*whole);
        ASSERT_EQ(whole->frameLength(), c.frames);

        const auto expected = AudioConverter().resampleBuffer(*whole);
        const auto blocks = AudioConverter().resampleAudioFile(path);
        ASSERT_EQ(blocks.size(), expected.size());
        EXPECT_TRUE(blocks == expected) << "the samples differ";
    }
}

TEST(AudioConverter, AWavItWroteReadsBackSampleForSample) {
    testsupport::TemporaryDirectory dir;
    const auto tone = testsupport::sine(440, 16000, 1600, 1.0f);
    const auto bytes = AudioWAV::data(tone, 16000.0);
    const auto path = testsupport::writeFile(dir / "tone.wav", std::string(bytes.begin(), bytes.end()));

    platform::LogCapture log;
    const auto samples = AudioConverter().resampleAudioFile(path);
    ASSERT_EQ(samples.size(), tone.size());
    for (std::size_t i = 0; i < tone.size(); ++i) {
        const auto quantised = static_cast<std::int16_t>(tone[i] * 32767.0f);
        ASSERT_EQ(samples[i], static_cast<float>(quantised) / 32768.0f) << i;
    }
    EXPECT_TRUE(converterLog(log).empty()) << "no conversion for a 16 kHz mono file";
}

TEST(AudioConverterError, DescribesEachCase) {
    const std::pair<AudioConverterError, const char*> cases[] = {
        {AudioConverterError::conversionFailed(platform::NSError("d", 7, "The resampler made no progress.")),
         "Audio conversion failed: The resampler made no progress."},
        {AudioConverterError::conversionFailed(std::nullopt), "Audio conversion failed: Unknown error"},
        {AudioConverterError::failedToCreateConverter(), "Failed to create audio converter"},
        {AudioConverterError::failedToCreateBuffer(), "Failed to create conversion buffer"},
    };
    for (const auto& [error, text] : cases) EXPECT_STREQ(error.what(), text);
}

}  // namespace
}  // namespace rarivoredu
