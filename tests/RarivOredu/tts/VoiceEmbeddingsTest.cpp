#include "RarivOredu/tts/VoiceEmbeddings.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <iostream>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

using nlohmann::json;

std::vector<float> values(float first, std::size_t count = 3) {
    std::vector<float> vector(count);
    for (std::size_t i = 0; i < count; ++i) vector[i] = first + static_cast<float>(i);
    return vector;
}

TEST(VoiceEmbeddingsTest, TheVectorIsChosenByFormThenByTokenCount) {
    const json byCount = {{"10", values(10)}, {"50", values(50)}, {"200", values(200)}, {"x", "not numbers"}};
    struct Case {
        const char* name;
        json file;
        std::int64_t tokens;
        std::optional<std::vector<float>> expected;
    };
    const Case cases[] = {
        {"a bare array", json(values(1)), 7, values(1)},
        {"mixed numbers", json::parse("[1, 2.5, -3]"), 7, std::vector<float>{1, 2.5f, -3}},
        {"an empty array", json::array(), 7, std::vector<float>{}},
        {"embedding wins over counts", {{"embedding", values(2)}, {"60", values(60)}}, 60, values(2)},
        {"named like the voice", {{"voice_a", values(3)}, {"60", values(60)}}, 60, values(3)},
        {"exact count", byCount, 50, values(50)},
        {"largest count below", byCount, 60, values(50)},
        {"signed counts", {{"+5", values(5)}, {"-5", values(-5)}}, 0, values(-5)},
        {"no count below: the first array", {{"10", values(10)}, {"20", values(20)}}, 5, values(10)},
        {"an array with a string in it", {{"embedding", json::parse("[1, \"2\"]")}}, 5, std::nullopt},
        {"nothing usable", {{"a", "b"}}, 5, std::nullopt},
        {"not an object", json("text"), 5, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(extractVoiceVector(c.file, "voice_a", c.tokens), c.expected) << c.name;
}

class VoiceEmbeddingsFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.set("XDG_CACHE_HOME", folder.path().string());
        std::filesystem::create_directories(TtsResourceDownloader::voicesDirectory());
    }
    void writeVoice(const std::string& voice, const std::string& content) {
        testsupport::writeFile(TtsResourceDownloader::voicesDirectory() / (voice + ".json"), content);
    }
    std::string failureOf(const std::string& voice, int expectedLength) {
        try {
            loadVoiceEmbedding(voice, 10, expectedLength);
        } catch (const TTSError& error) {
            return error.what();
        }
        return "no failure";
    }

    testsupport::TemporaryDirectory folder;
    testsupport::ScopedEnvironment environment;
};

TEST_F(VoiceEmbeddingsFilesTest, AVoiceIsReadOnceAndItsVectorsAreKeptPerTokenCount) {
    platform::LogCapture log;
    writeVoice("vf_reader", json{{"5", values(5, 4)}, {"20", values(20, 4)}}.dump());
    const VoiceEmbeddingData data = loadVoiceEmbedding("vf_reader", 10, 4);
    EXPECT_EQ(data.voiceID, "vf_reader");
    EXPECT_EQ(data.vector, values(5, 4));
    EXPECT_FLOAT_EQ(data.l2Norm, std::sqrt(25.0f + 36 + 49 + 64));
    EXPECT_TRUE(log.contains("Loaded voice embedding: vf_reader, dim=4, l2norm=13.191"));
    // The file is not read again, even when it changes.
    writeVoice("vf_reader", "[]");
    EXPECT_EQ(loadVoiceEmbedding("vf_reader", 25, 4).vector, values(20, 4));
    EXPECT_TRUE(log.contains("Reusing cached voice embedding: vf_reader, dim=4, l2norm="));
}

TEST_F(VoiceEmbeddingsFilesTest, AnUnusableVoiceFallsBackToTheDefaultOne) {
    platform::LogCapture log;
    writeVoice("af_heart", json{{"embedding", values(1, 256)}}.dump());
    writeVoice("vf_broken", "{not json");
    writeVoice("vf_empty", json{{"a", "b"}}.dump());
    for (const char* voice : {"vf_missing", "vf_broken", "vf_empty"}) {
        EXPECT_EQ(loadVoiceEmbedding(voice, 10, 256).voiceID, "af_heart") << voice;
        EXPECT_TRUE(log.contains(std::string("Voice embedding for ") + voice + " not found; falling back to af_heart"));
    }
    EXPECT_TRUE(log.contains("Voice embedding payload lacked usable vector for vf_empty at "));
    EXPECT_TRUE(log.contains("Failed to load voice embedding for vf_missing: Model Voice embedding unavailable for "
                             "vf_missing; checked paths: " +
                             (TtsResourceDownloader::voicesDirectory() / "vf_missing.json").string() + " not found"));
}

TEST_F(VoiceEmbeddingsFilesTest, AVectorOfTheWrongLengthOrABadIdIsRefused) {
    writeVoice("vf_short", json(values(0, 255)).dump());
    EXPECT_EQ(failureOf("vf_short", 256),
              "Model Voice embedding for vf_short has unexpected length (expected 256, got 255) not found");
    EXPECT_EQ(failureOf("../vf_short", 255),
              "Processing failed: Invalid voice id '../vf_short': use only letters, digits, \"_\" and \"-\"");
}

TEST_F(VoiceEmbeddingsFilesTest, WithoutTheDefaultVoiceTooTheLoadFails) {
    // In a process of its own: the default voice must not have been read before.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string text = failureOf("vf_nowhere", 4);
            std::cerr << text;
            const std::string expected = "Model Voice embedding unavailable for vf_nowhere, af_heart; checked " +
                                         (TtsResourceDownloader::voicesDirectory() / "af_heart.json").string() +
                                         " not found";
            std::exit(text == expected ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace rarivoredu::KokoroSynthesizer
