#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/PhonemeTokenFitting.h"
#include "RarivOredu/tts/TTSError.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using KokoroSynthesizer::LexiconCache;

TEST(MergeLexiconTokensTest, FitsTokensToTheSymbolsTheModelAccepts) {
    struct Case {
        std::vector<std::string> tokens;
        PhonemeSet allowed;
        std::vector<std::string> fitted;
    };
    const std::vector<Case> cases = {
        {{"t", "ʃ"}, {"ʧ"}, {"ʧ"}},                      // a pair mapped to its symbol
        {{"t", "ʃ"}, {"t", "ʃ", "ʧ"}, {"t", "ʃ"}},        // tokens allowed alone stay
        {{"ɹ", "ə"}, {"r", "ə"}, {"r", "ə"}},             // the pair maps to nothing: "ɹ" alone does
        {{"e", "ɪ"}, {"eɪ"}, {"eɪ"}},                     // a pair that is a symbol itself
        {{"a", "ɪ", "ˈ"}, {"a"}, {"a"}},                  // "aɪ" → "a"; the stress mark vanishes
        {{"d", "͡", "ʒ"}, {"ʤ"}, {}},                      // no rule joins three tokens
        {{"ɾ", "i", " ", "z"}, {"t", "i", " ", "z"}, {"t", "i", " ", "z"}},
        {{}, {"a"}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(mergeLexiconTokens(c.tokens, c.allowed), c.fitted);
    EXPECT_EQ(vocabularyFixups().size(), 32u);
}

class LexiconCacheTest : public ::testing::Test {
protected:
    void write(const std::string& content) { std::ofstream(folder / LexiconCache::fileName) << content; }

    const PhonemeSet symbols = ttstest::fixtureSymbols();
    testsupport::TemporaryDirectory folder;
    LexiconCache cache;
};

TEST_F(LexiconCacheTest, LoadsTheLexiconCutToTheVocabulary) {
    platform::LogCapture log;
    cache.ensureLoaded(ttstest::fixturePath(""), symbols);
    ASSERT_TRUE(cache.isLoaded());
    const auto lower = cache.wordToPhonemes();
    EXPECT_EQ(lower->at("hello"), (std::vector<std::string>{"h", "ə", "l", "ˈ", "o"}));
    EXPECT_TRUE(lower->at("unsayable").empty());  // only symbols the model lacks: kept, empty
    EXPECT_EQ(cache.caseSensitiveWordToPhonemes()->at("US"), (std::vector<std::string>{"j", "ˌ", "u", "ˈ", "ɛ", "s"}));
    EXPECT_TRUE(log.contains("Loaded lexicon cache: 15 entries", "KokoroSynthesizer"));

    const auto footprint = cache.footprint();
    EXPECT_EQ(footprint.entries, 17);
    EXPECT_EQ(footprint.phonemes, 68);
    EXPECT_GT(footprint.utf16Units, footprint.phonemes);
}

TEST_F(LexiconCacheTest, ReadsTheFileOncePerProcess) {
    write(R"({"lower": {"a": ["ə"]}, "caseSensitive": {"B": ["b"]}})");
    cache.ensureLoaded(folder.path(), symbols);
    write(R"({"lower": {"c": ["k"]}, "caseSensitive": {"D": ["d"]}})");
    cache.ensureLoaded(folder.path(), symbols);
    EXPECT_TRUE(cache.wordToPhonemes()->contains("a"));

    // Without case-sensitive entries it counts as not quite loaded and reads the file again.
    LexiconCache other;
    write(R"({"lower": {"a": ["ə"]}, "caseSensitive": {}})");
    other.ensureLoaded(folder.path(), symbols);
    write(R"({"lower": {"c": ["k"]}, "caseSensitive": {}})");
    other.ensureLoaded(folder.path(), symbols);
    EXPECT_TRUE(other.wordToPhonemes()->contains("c"));
}

TEST_F(LexiconCacheTest, AMissingOrUnusableLexiconFailsTheLoad) {
    struct Case {
        const char* content;  // nullptr: no file
        const char* warning;  // nullptr: nothing logged
    };
    const std::vector<Case> cases = {
        {nullptr, nullptr},
        {R"({"lower": {"a": ["ɐ"]}, "caseSensitive": {}})", nullptr},  // nothing the model can say
        {"{not json", "Failed to load lexicon cache: The data couldn’t be read because it isn’t in the correct format."},
        {R"({"lower": {"a": ["ə"]}})", "Failed to load lexicon cache: The data couldn’t be read because it is missing."},
        {R"({"lower": {"a": "ə"}, "caseSensitive": {}})",
         "Failed to load lexicon cache: The data couldn’t be read because it isn’t in the correct format."},
        {R"([1, 2])", "Failed to load lexicon cache: The data couldn’t be read because it isn’t in the correct format."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "no file");
        std::filesystem::remove(folder / LexiconCache::fileName);
        if (c.content) write(c.content);
        platform::LogCapture log;
        LexiconCache fresh;
        try {
            fresh.ensureLoaded(folder.path(), symbols);
            ADD_FAILURE() << "no error";
        } catch (const TTSError& error) {
            EXPECT_EQ(error.kind(), TTSError::Kind::processingFailed);
            EXPECT_STREQ(error.what(), "Processing failed: Missing lexicon cache (expected us_lexicon_cache.json)");
        }
        EXPECT_FALSE(fresh.isLoaded());
        if (c.warning) {
            EXPECT_TRUE(log.contains(c.warning, "KokoroSynthesizer"));
        } else {
            EXPECT_TRUE(log.entries().empty());
        }
    }
}

TEST_F(LexiconCacheTest, ABrokenFileEmptiesALoadedCache) {
    cache.ensureLoaded(ttstest::fixturePath(""), symbols);
    write("{broken");
    EXPECT_FALSE(cache.load(folder / LexiconCache::fileName, symbols));
    EXPECT_FALSE(cache.isLoaded());
    EXPECT_TRUE(cache.wordToPhonemes()->empty());
    // A file holding nothing usable leaves the cache as it was.
    cache.ensureLoaded(ttstest::fixturePath(""), symbols);
    write(R"({"lower": {}, "caseSensitive": {}})");
    EXPECT_FALSE(cache.load(folder / LexiconCache::fileName, symbols));
    EXPECT_TRUE(cache.isLoaded());
    EXPECT_TRUE(cache.wordToPhonemes()->contains("hello"));
}

}  // namespace
}  // namespace rarivoredu
