// Reading audio files for transcription: 16 kHz mono samples and the refusal of what cannot be read whole.
#include "Parloquin/services/FileTranscriptionJob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "Parloquin/services/TranscriptionError.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

class FileTranscriptionJobTest : public ::testing::Test {
protected:
    testsupport::TemporaryDirectory folder;
};

TEST_F(FileTranscriptionJobTest, SamplesAt16kHzMonoWithTheResamplersTail) {
    // Already 16 kHz mono float: sample for sample.
    const std::vector<float> exact = testsupport::sine(440, 16000, 20000, 0.3f);
    const auto native = testsupport::writeFile(folder / "native.wav", testsupport::floatWav(exact, 16000, 1));
    EXPECT_EQ(FileTranscriptionJob::loadAudioFile16k(native), exact);

    // 44.1 kHz stereo, 441,000 frames: 160,000 samples of the mean of both channels, the last ones
    // included.
    const std::vector<float> left = testsupport::sine(440, 44100, 441000, 0.5f);
    std::vector<float> interleaved(2 * left.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = left[i];
    }
    const auto stereo = testsupport::writeFile(folder / "stereo.wav", testsupport::floatWav(interleaved, 44100, 2));
    const std::vector<float> samples = FileTranscriptionJob::loadAudioFile16k(stereo);
    EXPECT_NEAR(static_cast<double>(samples.size()), 160000.0, 1.0);
    const testsupport::SineFit tail = testsupport::fitSine(
        std::span<const float>(samples).subspan(samples.size() - 400, 300), 16000, 440);
    EXPECT_NEAR(tail.amplitude, 0.5, 0.01) << "the end of the file is missing";
}

TEST_F(FileTranscriptionJobTest, AFileBeyondA32BitFrameCountIsRefused) {
    // A CAF header announcing 2^32 + 10 frames of 8-bit audio over a sparse file: nothing is
    // stored on disk, and the reader believes the header.
    std::string header = "caff";
    header += std::string("\x00\x01\x00\x00", 4);
    auto be64 = [](std::uint64_t v) {
        std::string s(8, '\0');
        for (int i = 7; i >= 0; --i, v >>= 8) s[i] = static_cast<char>(v & 0xff);
        return s;
    };
    header += "desc" + be64(32);
    header += std::string("\x40\xbf\x40\x00\x00\x00\x00\x00", 8);  // 8000.0
    header += "lpcm";
    header += std::string("\x00\x00\x00\x00" "\x00\x00\x00\x01" "\x00\x00\x00\x01" "\x00\x00\x00\x01" "\x00\x00\x00\x08", 20);
    const std::uint64_t frames = (std::uint64_t{1} << 32) + 10;
    header += "data" + be64(frames + 4) + std::string(4, '\0');
    const auto path = folder / "riesig.caf";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
    }
    std::filesystem::resize_file(path, header.size() + frames);

    try {
        FileTranscriptionJob::loadAudioFile16k(path);
        FAIL() << "a file of more than 2^32 frames was read";
    } catch (const TranscriptionError& error) {
        EXPECT_EQ(error.kind(), TranscriptionError::Kind::fileReadError);
        EXPECT_EQ(std::string(error.what()), "Datei-Lesefehler: Die Datei ist zu lang (4294967306 Frames, höchstens 4294967295)");
    }
}

}  // namespace
}  // namespace parloquin
