#include "RarivOredu/tts/misaki/MisakiLexicon.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <optional>

#include "tests/RarivOredu/tts/TtsEngineTestSupport.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace rarivoredu {
namespace {

using Symbols = std::vector<std::string>;

std::string fixture(const std::string& name) { return testsupport::readBytes(ttstest::fixturePath("misaki/" + name)); }

std::optional<Symbols> entry(const PhonemeLexicon& map, const std::string& word) {
    const auto found = map.find(word);
    if (found == map.end()) return std::nullopt;
    return found->second;
}

TEST(MisakiLexiconTest, ConvertsBothListsToTheVocabularysSymbols) {
    const MisakiLexicon lexicon =
        MisakiLexicon::fromWordLists(fixture("us_gold.json"), fixture("us_silver.json"), ttstest::fixtureSymbols());

    struct Case {
        const char* word;
        bool caseSensitive;
        std::optional<Symbols> symbols;
    };
    const Case cases[] = {
        {"zebra", false, Symbols{"ʃ", "ˈ", "ɔ", "ŋ", "k"}},
        {"gadget", false, Symbols{"ɡ", "ˈ", "æ", "ʤ", "ə", "t"}},       // silver only
        {"kitten", false, Symbols{"k", "ˈ", "ɪ", "t", "ə", "n"}},       // gold wins over silver
        {"record", false, Symbols{"r", "ˈ", "ɛ", "k", "ə", "r", "d"}},  // the DEFAULT reading
        {"it's", false, Symbols{"ˈ", "ɪ", "t", "s"}},
        {"Paris", true, Symbols{"p", "ˈ", "ɛ", "r", "ɪ", "s"}},
        {"paris", false, Symbols{"p", "ˈ", "ɛ", "r", "ɪ", "s"}},  // gold's capitalised word over silver
        {"NASA", true, Symbols{"n", "ˈ", "æ", "s", "ə"}},
        {"nasa", false, std::nullopt},  // only capitalised words give their lower-case form
        {"the", false, Symbols{"ð", "ə"}},  // the reading of its usual place
        {"to", false, Symbols{"t", "ə"}},
        {"A", true, Symbols{"ˈ", "e"}},  // as listed: the vocabulary lacks "ɐ"
        {"a", false, std::nullopt},      // nor do single letters
        {"hurry", false, std::nullopt},  // "ɹ" is not in the vocabulary
        {"empty", false, std::nullopt},  // no reading
    };
    for (const Case& c : cases) {
        const PhonemeLexicon& in = c.caseSensitive ? lexicon.caseSensitive : lexicon.lower;
        const PhonemeLexicon& other = c.caseSensitive ? lexicon.lower : lexicon.caseSensitive;
        EXPECT_EQ(entry(in, c.word), c.symbols) << c.word;
        EXPECT_FALSE(entry(other, c.word)) << c.word;
    }
    EXPECT_EQ(lexicon.leftOut, 2);
    EXPECT_EQ(lexicon.lower.size() + lexicon.caseSensitive.size(), 17u);
}

TEST(MisakiLexiconTest, TheWrittenFileLoadsAsTheLexiconCacheWithEveryEntry) {
    const PhonemeSet symbols = ttstest::fixtureSymbols();
    const MisakiLexicon lexicon = MisakiLexicon::fromWordLists(fixture("us_gold.json"), fixture("us_silver.json"), symbols);
    const testsupport::TemporaryDirectory folder;
    std::ofstream(folder.path() / KokoroSynthesizer::LexiconCache::fileName) << lexicon.json();

    KokoroSynthesizer::LexiconCache cache;
    cache.ensureLoaded(folder.path(), symbols);
    EXPECT_EQ(*cache.wordToPhonemes(), lexicon.lower);
    EXPECT_EQ(*cache.caseSensitiveWordToPhonemes(), lexicon.caseSensitive);
    // "lower" comes first, as the cache's own encoding has it.
    EXPECT_LT(lexicon.json().find("\"lower\""), lexicon.json().find("\"caseSensitive\""));
}

TEST(MisakiLexiconTest, WordsNeedingEscapesSurviveTheRoundTrip) {
    const PhonemeSet symbols = {"\"", "a", "\\"};
    const MisakiLexicon lexicon =
        MisakiLexicon::fromWordLists(R"({"say \"a\"": "\"a\\", "tab\there": "a"})", "{}", symbols);
    const nlohmann::json written = nlohmann::json::parse(lexicon.json());
    EXPECT_EQ(written["lower"]["say \"a\""], nlohmann::json::array({"\"", "a", "\\"}));
    EXPECT_EQ(written["lower"]["tab\there"], nlohmann::json::array({"a"}));
}

TEST(MisakiLexiconTest, RefusesWhatIsNoWordList) {
    const std::string gold = fixture("us_gold.json");
    struct Case {
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {gold.substr(0, gold.size() / 2), "parse error"},  // a cut file
        {"\x89PNG garbage", "parse error"},
        {"", "parse error"},
        {R"(["zebra", "ʃˈɔŋk"])", "the document is no JSON object"},
        {R"({"zebra": 7})", "the entry of \"zebra\" is neither a phoneme string nor readings by part of speech"},
        {R"({"record": {"VERB": "rəkˈɔrd"}})", "the readings of \"record\" have no DEFAULT phoneme string"},
        {R"({"record": {"DEFAULT": null}})", "the readings of \"record\" have no DEFAULT phoneme string"},
    };
    const PhonemeSet symbols = ttstest::fixtureSymbols();
    for (const Case& c : cases) {
        const std::string failure = ttstest::failureOf([&] { MisakiLexicon::fromWordLists("{}", c.text, symbols); });
        EXPECT_EQ(failure.rfind("us_silver.json is not a misaki word list: ", 0), 0u) << failure;
        EXPECT_NE(failure.find(c.why), std::string::npos) << failure;
    }
}

}  // namespace
}  // namespace rarivoredu
