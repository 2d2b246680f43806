#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioError.h"
#include "Platform/audio/AVAudioFile.h"
#include "Platform/audio/PCMSampleCopy.h"
#include "tests/support/AudioSignals.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace platform {
namespace {

// The fixtures, as tests/fixtures/audio/make-fixtures.sh writes them.
struct Fixture {
    const char* name;
    double sampleRate;
    AVAudioChannelCount channels;
    AVAudioFramePosition frames;
};

const Fixture fixtures[] = {
    {"tone440.wav", 22050, 1, 4410},  {"tone440.aiff", 11025, 2, 2205}, {"tone440.caf", 8000, 1, 2000},
    {"tone440.mp3", 44100, 2, 22050}, {"tone440.m4a", 48000, 2, 24000},
    // No length in the file: it is counted by decoding, priming included.
    {"tone440.aac", 32000, 1, 17408},
    {"tone440.flac", 22050, 1, 4410}, {"tone440.ogg", 22050, 1, 4410}, {"tone440.opus", 48000, 1, 9600},
};

std::vector<float> channelOf(const AVAudioPCMBuffer& buffer, AVAudioChannelCount channel) {
    std::vector<float> samples(buffer.frameLength());
    pcm::readChannel(buffer, channel, 0, buffer.frameLength(), samples.data());
    return samples;
}

TEST(AVAudioFile, ReadsEveryFixtureWholeInItsOwnRateAndChannels) {
    for (const auto& f : fixtures) {
        SCOPED_TRACE(f.name);
        AVAudioFile file(testsupport::audioFixture(f.name));
        EXPECT_EQ(file.processingFormat(), *AVAudioFormat::standard(f.sampleRate, f.channels));
        EXPECT_EQ(file.length(), f.frames);

        auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), static_cast<AVAudioFrameCount>(f.frames));
        file.read(*buffer);
        ASSERT_EQ(buffer->frameLength(), f.frames);
        EXPECT_EQ(file.framePosition(), f.frames);

        const auto left = channelOf(*buffer, 0);
        const auto steady = testsupport::middle(left, left.size() / 10);
        EXPECT_NEAR(testsupport::zeroCrossingFrequency(steady, f.sampleRate), 440.0, 1.0);
        EXPECT_NEAR(testsupport::toneAmplitude(steady, f.sampleRate, 440), 0.125, 0.01);
        if (f.channels == 2) {
            const auto right = channelOf(*buffer, 1);
            EXPECT_NEAR(testsupport::zeroCrossingFrequency(testsupport::middle(right, right.size() / 10), f.sampleRate),
                        1000.0, 2.0);
        }

        file.read(*buffer);
        EXPECT_EQ(buffer->frameLength(), 0u) << "nothing is left after the end";
    }
}

// What a file chooser offers is what opens: every extension of the list, on a file of its format.
TEST(AVAudioFile, EveryReadableExtensionOpens) {
    const std::map<std::string, std::string> fixtureOf = {
        {"wav", "tone440.wav"},   {"wave", "tone440.wav"}, {"aiff", "tone440.aiff"}, {"aif", "tone440.aiff"},
        {"aifc", "tone440.aiff"}, {"caf", "tone440.caf"},  {"mp3", "tone440.mp3"},   {"m4a", "tone440.m4a"},
        {"aac", "tone440.aac"},   {"flac", "tone440.flac"}, {"ogg", "tone440.ogg"},  {"oga", "tone440.ogg"},
        {"opus", "tone440.opus"},
    };
    testsupport::TemporaryDirectory folder;
    for (const std::string& extension : AVAudioFile::readableExtensions()) {
        SCOPED_TRACE(extension);
        const auto fixture = fixtureOf.find(extension);
        ASSERT_NE(fixture, fixtureOf.end()) << "no file of this format is tried";
        const auto path = folder.path() / ("sound." + extension);
        std::filesystem::copy_file(testsupport::audioFixture(fixture->second), path);
        AVAudioFile file(path);
        auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), 4096);
        file.read(*buffer);
        EXPECT_GT(buffer->frameLength(), 0u);
    }
    for (const char* format : {"ogg", "flac", "opus"}) {
        EXPECT_NE(std::find(AVAudioFile::readableExtensions().begin(), AVAudioFile::readableExtensions().end(), format),
                  AVAudioFile::readableExtensions().end())
            << format;
    }
}

TEST(AVAudioFile, ReadingInPiecesGivesTheSameSamples) {
    for (const char* name : {"tone440.aiff", "tone440.m4a"}) {
        SCOPED_TRACE(name);
        AVAudioFile whole(testsupport::audioFixture(name));
        auto all = AVAudioPCMBuffer::make(whole.processingFormat(), static_cast<AVAudioFrameCount>(whole.length()));
        whole.read(*all);

        AVAudioFile pieces(testsupport::audioFixture(name));
        auto piece = AVAudioPCMBuffer::make(pieces.processingFormat(), 1000);
        std::vector<std::vector<float>> got(pieces.processingFormat().channelCount());
        for (AVAudioFrameCount size = 1;; size = size * 7 % 997 + 1) {
            pieces.read(*piece, size);
            if (piece->frameLength() == 0) break;
            EXPECT_LE(piece->frameLength(), size);
            for (AVAudioChannelCount c = 0; c < got.size(); ++c) {
                const auto part = channelOf(*piece, c);
                got[c].insert(got[c].end(), part.begin(), part.end());
            }
        }
        for (AVAudioChannelCount c = 0; c < got.size(); ++c) EXPECT_EQ(got[c], channelOf(*all, c)) << "channel " << c;
    }
}

TEST(AVAudioFile, ABufferInAnotherFormatIsRefused) {
    AVAudioFile file(testsupport::audioFixture("tone440.wav"));
    auto buffer = AVAudioPCMBuffer::make(*AVAudioFormat::standard(16000, 1), 100);
    try {
        file.read(*buffer);
        FAIL() << "read into a 16 kHz buffer";
    } catch (const NSError& error) {
        EXPECT_EQ(error.code(), AVAudioError::formatMismatch);
    }
    EXPECT_EQ(file.framePosition(), 0);
}

// Damaged variants of a fixture.
std::string truncated(const std::string& bytes, std::size_t size) { return bytes.substr(0, size); }
std::string scrambled(std::string bytes, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < std::min(to, bytes.size()); ++i) bytes[i] = static_cast<char>(bytes[i] * 7 + 13);
    return bytes;
}

TEST(AVAudioFile, FilesThatAreNotAudioGiveAClearError) {
    testsupport::TemporaryDirectory dir;
    const auto fixture = [](const char* name) { return testsupport::readBytes(testsupport::audioFixture(name)); };
    const std::string m4a = fixture("tone440.m4a");
    struct Case {
        std::string name;
        std::string bytes;
        long code;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"empty.wav", "", AVAudioError::unsupportedFile, "is empty"},
        {"text.wav", "These are notes, not sound.\n", AVAudioError::unsupportedFile, "not in a supported audio format"},
        {"header-cut.wav", truncated(fixture("tone440.wav"), 10), AVAudioError::unsupportedFile, "damaged"},
        {"header-cut.aiff", truncated(fixture("tone440.aiff"), 44), AVAudioError::unsupportedFile, "damaged"},
        {"header-cut.caf", truncated(fixture("tone440.caf"), 44), AVAudioError::unsupportedFile, "damaged"},
        {"header-cut.mp3", truncated(fixture("tone440.mp3"), 200), AVAudioError::unsupportedFile, "damaged"},
        {"index-lost.m4a", truncated(m4a, m4a.size() / 2), AVAudioError::unsupportedFile, "damaged"},
        {"scrambled.wav", scrambled(fixture("tone440.wav"), 8, 120), AVAudioError::unsupportedFile, "damaged"},
        {"scrambled.aiff", scrambled(fixture("tone440.aiff"), 8, 120), AVAudioError::unsupportedFile, "damaged"},
        {"scrambled.caf", scrambled(fixture("tone440.caf"), 8, 120), AVAudioError::unsupportedFile, "damaged"},
        {"scrambled.m4a", scrambled(m4a, 8, 120), AVAudioError::unsupportedFile, "damaged"},
        {"missing.wav", {}, AVAudioError::fileNotFound, "does not exist"},
        {"folder.wav", {}, AVAudioError::fileNotReadable, "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::path path = dir.path() / c.name;
        if (c.name == "folder.wav") {
            std::filesystem::create_directory(path);
        } else if (c.name != "missing.wav") {
            path = testsupport::writeFile(dir / c.name, c.bytes);
        }
        try {
            AVAudioFile file(path);
            FAIL() << "opened";
        } catch (const NSError& error) {
            EXPECT_EQ(error.domain(), AVAudioError::domain);
            EXPECT_EQ(error.code(), c.code);
            EXPECT_NE(error.localizedDescription().find(path.string()), std::string::npos) << error.what();
            EXPECT_NE(error.localizedDescription().find(c.says), std::string::npos) << error.what();
        }
    }
}

TEST(AVAudioFile, AFileWeMayNotReadSaysSo) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    testsupport::TemporaryDirectory dir;
    const auto path =
        testsupport::writeFile(dir / "locked.wav", testsupport::readBytes(testsupport::audioFixture("tone440.wav")));
    ::chmod(path.c_str(), 0);
    try {
        AVAudioFile file(path);
        FAIL() << "opened";
    } catch (const NSError& error) {
        EXPECT_EQ(error.code(), AVAudioError::fileNotReadable);
    }
}

// A file cut short in its audio data, or damaged there, still gives the audio that is left:
// nothing crashes and nothing runs past the data.
TEST(AVAudioFile, DamageInsideTheAudioDataKeepsWhatDecodes) {
    testsupport::TemporaryDirectory dir;
    for (const char* name : {"tone440.wav", "tone440.aiff", "tone440.caf", "tone440.mp3"}) {
        const std::string bytes = testsupport::readBytes(testsupport::audioFixture(name));
        const std::string extension = std::filesystem::path(name).extension().string();
        const std::pair<std::string, std::string> variants[] = {
            {"cut" + extension, truncated(bytes, bytes.size() * 2 / 3)},
            {"noisy" + extension, scrambled(bytes, bytes.size() / 2, bytes.size())},
        };
        for (const auto& [variant, damaged] : variants) {
            SCOPED_TRACE(std::string(name) + " " + variant);
            const auto path = testsupport::writeFile(dir / variant, damaged);
            try {
                AVAudioFile file(path);
                auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), static_cast<AVAudioFrameCount>(file.length()));
                ASSERT_TRUE(buffer);
                file.read(*buffer);
                EXPECT_LE(buffer->frameLength(), file.length());
                if (variant.starts_with("cut")) {
                    EXPECT_GT(buffer->frameLength(), 0u);
                }
            } catch (const NSError& error) {
                // Damage a decoder cannot get past is reported, never a crash.
                EXPECT_EQ(error.domain(), AVAudioError::domain) << error.what();
                EXPECT_TRUE(variant.starts_with("noisy")) << error.what();
            }
        }
    }
}

}  // namespace
}  // namespace platform
