#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/TTSError.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

class KokoroVocabularyTest : public ::testing::Test {
protected:
    std::filesystem::path write(const std::string& content) {
        const auto path = folder / KokoroVocabulary::fileName;
        std::ofstream(path) << content;
        return path;
    }

    testsupport::TemporaryDirectory folder;
    KokoroVocabulary vocabulary;
};

TEST_F(KokoroVocabularyTest, ReadsAnIntegerMap) {
    platform::LogCapture log;
    vocabulary.loadVocabulary(ttstest::fixturePath("vocab_index.json"));
    EXPECT_TRUE(vocabulary.isLoaded());
    const auto map = vocabulary.vocabulary();
    EXPECT_EQ(map.size(), 52u);
    EXPECT_EQ(map.at(" "), 1);
    EXPECT_EQ(map.at("əl"), 52);
    EXPECT_TRUE(log.contains("Loaded 52 vocabulary entries from integer map", "KokoroVocabulary"));
}

TEST_F(KokoroVocabularyTest, ReadsAMixedMapKeepingNumbersOnly) {
    platform::LogCapture log;
    vocabulary.loadVocabulary(write(R"({"vocab": {"a": 3, "b": 12.9, "c": -3.5, "d": "7", "e": null, "f": [1]}})"));
    const KokoroVocabulary::Map expected = {{"a", 3}, {"b", 12}, {"c", -3}};
    EXPECT_EQ(vocabulary.vocabulary(), expected);
    EXPECT_TRUE(log.contains("Loaded 3 vocabulary entries from generic map", "KokoroVocabulary"));
}

TEST_F(KokoroVocabularyTest, AFileThatIsNoVocabularyFailsAndKeepsTheOldOne) {
    struct Case {
        std::string content;
        std::string error;
        std::string logLine;
    };
    const std::vector<Case> cases = {
        {"[1, 2]", "Processing failed: Unexpected Kokoro vocabulary format", "Unexpected vocabulary JSON structure"},
        {"{broken", "Processing failed: Unexpected Kokoro vocabulary format", "Unexpected vocabulary JSON structure"},
        {R"({"vocabulary": {}})", "Processing failed: Missing 'vocab' key in Kokoro vocabulary",
         "Missing 'vocab' key in vocabulary JSON"},
        {R"({"vocab": [1]})", "Processing failed: Missing 'vocab' key in Kokoro vocabulary",
         "Missing 'vocab' key in vocabulary JSON"},
        {R"({"vocab": {"a": 1, "b": 2147483648}})", "Processing failed: Unexpected Kokoro vocabulary format",
         "Vocabulary id out of range for symbol 'b'"},
        {R"({"vocab": {"a": -2147483649.0}})", "Processing failed: Unexpected Kokoro vocabulary format",
         "Vocabulary id out of range for symbol 'a'"},
    };
    vocabulary.loadVocabulary(write(R"({"vocab": {"x": 9}})"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        platform::LogCapture log;
        const auto path = write(c.content);
        try {
            vocabulary.loadVocabulary(path);
            ADD_FAILURE() << "no error";
        } catch (const TTSError& error) {
            EXPECT_EQ(error.kind(), TTSError::Kind::processingFailed);
            EXPECT_EQ(error.what(), c.error);
        }
        EXPECT_TRUE(log.contains(c.logLine, "KokoroVocabulary"));
        EXPECT_EQ(vocabulary.vocabulary(), (KokoroVocabulary::Map{{"x", 9}}));
    }
}

TEST_F(KokoroVocabularyTest, AnUnreadableFileSaysWhy) {
    platform::LogCapture log;
    const auto missing = folder / "absent.json";
    try {
        vocabulary.loadVocabulary(missing);
        FAIL() << "no error";
    } catch (const TTSError& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Processing failed: Failed to read Kokoro vocabulary: Could not read ", 0),
                  0u)
            << error.what();
    }
    EXPECT_TRUE(log.contains("Failed to read vocabulary at " + missing.string() + ": "));
    EXPECT_FALSE(vocabulary.isLoaded());
}

}  // namespace
}  // namespace rarivoredu
