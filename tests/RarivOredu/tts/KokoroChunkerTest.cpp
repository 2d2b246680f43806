#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/log/LogCapture.h"
#include "RarivOredu/tts/KokoroChunker.h"
#include "RarivOredu/tts/KokoroChunkerAssembly.h"
#include "RarivOredu/tts/KokoroChunkerWords.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"
#include "tests/support/SpeechSampleText.h"

namespace rarivoredu {
namespace {

using namespace KokoroChunker;

using ttstest::joined;

TEST(KokoroChunkerWordsTest, CutsSegmentsIntoWordsAndMarks) {
    using Kind = AtomKind;
    struct Case {
        std::string segment;
        std::vector<AtomToken> atoms;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"  \n ", {}},
        {"Don’t!", {{"Don't", Kind::word}, {"!", Kind::punctuation}}},
        {"rock’n’roll ok", {{"rock'n'roll", Kind::word}, {"ok", Kind::word}}},
        {"well-known", {{"well", Kind::word}, {"-", Kind::punctuation}, {"known", Kind::word}}},
        {"it\u02BCs", {{"it's", Kind::word}}},
        {"#1 😀 (x)", {{"#1", Kind::word}, {"😀", Kind::word}, {"(", Kind::punctuation}, {"x", Kind::word},
                       {")", Kind::punctuation}}},
        {"a,b.", {{"a", Kind::word}, {",", Kind::punctuation}, {"b", Kind::word}, {".", Kind::punctuation}}},
        {"Café\u0301 née", {{"Café\u0301", Kind::word}, {"née", Kind::word}}},
    };
    for (const Case& c : cases) EXPECT_EQ(atomize(c.segment), c.atoms) << c.segment;
}

TEST(KokoroChunkerWordsTest, CleansWordsForLookup) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Hello", "hello"}, {"Don't", "don't"}, {"ÉCOLE", "école"}, {"x²", "x"},
        {"#1", "1"},        {"😀", ""},          {"'", "'"},          {"A\u0301", "a\u0301"},
    };
    for (const auto& [word, cleaned] : cases) EXPECT_EQ(cleanWord(word), cleaned) << word;
}

TEST(KokoroChunkerWordsTest, SpellsOutPlainNumbersOnly) {
    EXPECT_EQ(spelledOutNumber("42"), (std::vector<std::string>{"forty", "two"}));
    EXPECT_EQ(spelledOutNumber("0042"), (std::vector<std::string>{"forty", "two"}));
    EXPECT_EQ(spelledOutNumber("1000001"), (std::vector<std::string>{"one", "million", "one"}));
    for (const char* word : {"", "4a", "-4", "٤٢", "9223372036854775808", "9223372036854775807"}) {
        EXPECT_EQ(spelledOutNumber(word), std::nullopt) << word;
    }
    EXPECT_EQ(letterPhonemes().size(), 26u);
    EXPECT_EQ(letterPhonemes().at("w"), (std::vector<std::string>{"d", "ʌ", "b", "əl", "j", "u"}));
}

class WordTokensTest : public ::testing::Test {
protected:
    std::optional<std::string> resolve(const std::string& word, const PhonemeSet& allowed) {
        const auto tokens = resolveWordTokens(word, cleanWord(word), lower, caseSensitive, allowed, missing);
        if (!tokens) return std::nullopt;
        return joined(*tokens, "|");
    }

    const PhonemeSet symbols = ttstest::fixtureSymbols();
    PhonemeLexicon lower = ttstest::fixtureLexicon(symbols).lower;
    PhonemeLexicon caseSensitive = ttstest::fixtureLexicon(symbols).caseSensitive;
    std::set<std::string> missing;
};

TEST_F(WordTokensTest, TakesTheFirstSourceThatKnowsTheWord) {
    EXPECT_EQ(resolve("US", symbols), "j|ˌ|u|ˈ|ɛ|s");             // case-sensitive, as written
    EXPECT_EQ(resolve("Hello", symbols), "h|ə|l|ˈ|o");            // lower-case lexicon
    EXPECT_EQ(resolve("quixotic", symbols), "k|w|ɪ|k|s|ˈ|ɑ|t|ɪ|k");  // eSpeak NG, fitted
    EXPECT_EQ(resolve("80's", symbols), "ˈ|e|ɪ|t|i| |z");          // every word of the reading
    EXPECT_TRUE(missing.empty());
    // A lexicon entry the model cannot say makes the word missing; eSpeak NG is not asked.
    EXPECT_EQ(resolve("unsayable", symbols), std::nullopt);
    EXPECT_EQ(missing, (std::set<std::string>{"unsayable"}));
}

TEST_F(WordTokensTest, ReadsNumbersWordByWordWhenTheEngineGivesNothingUsable) {
    // Symbols of the lexicon's number words only: nothing eSpeak NG says fits them.
    const PhonemeSet numberSymbols = {"F", "T", " "};
    lower["forty"] = {"F"};
    lower["two"] = {"T"};
    EXPECT_EQ(resolve("42", numberSymbols), "F| |T");
    EXPECT_EQ(resolve("43", numberSymbols), std::nullopt);  // "three" is known nowhere
    EXPECT_EQ(missing, (std::set<std::string>{"43"}));
}

TEST_F(WordTokensTest, OverridesUseTheirTokensOrTheirFittedScalars) {
    const PhonemeSet allowed = {"k", "o", "r", "ʧ"};
    EXPECT_EQ(overrideTokens({0, {"k", "o"}, {"k", "o"}, "k o", "ko"}, allowed), (std::vector<std::string>{"k", "o"}));
    EXPECT_EQ(overrideTokens({0, {"t", "ʃ"}, {"t", "ʃ"}, "t ʃ", "ch"}, allowed), (std::vector<std::string>{"ʧ"}));
    EXPECT_EQ(overrideTokens({0, {"koɹo"}, {"k", "o", "ɹ", "o"}, "koɹo", "Koro"}, allowed),
              (std::vector<std::string>{"k", "o", "r", "o"}));
    EXPECT_TRUE(overrideTokens({0, {"xy"}, {"x", "y"}, "xy", "q"}, allowed).empty());
}

// A lexicon of made-up symbols, so that counts are plain to see.
class ChunkBuildingTest : public ::testing::Test {
protected:
    std::vector<TextChunk> build(std::string_view segment, int budget,
                                 const std::vector<TtsPhoneticOverride>& overrides = {}) {
        WordTokenCache words(lower, caseSensitive, allowed);
        std::size_t cursor = 0;
        return buildChunks(segment, words, budget, wordCounter, overrides, cursor);
    }

    PhonemeLexicon lower = {{"aa", {"A", "A"}}, {"bb", {"B", "B"}}, {"cc", {"C", "C"}},
                            {"long", {"A", "B", "C", "A", "B", "C", "A"}}, {"silent", {}}};
    PhonemeLexicon caseSensitive;
    PhonemeSet allowed = {"A", "B", "C", "X", " ", ",", "!", "."};
    std::int64_t wordCounter = 0;
};

TEST_F(ChunkBuildingTest, SpacesStandOnlyBetweenWordsThatFollowEachOther) {
    const auto chunks = build("aa, bb cc!", 50);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(joined(chunks[0].phonemes, "|"), "A|A|,|B|B| |C|C|!");
    EXPECT_EQ(chunks[0].words, (std::vector<std::string>{"aa", "bb", "cc"}));
    EXPECT_EQ(chunks[0].atoms, (std::vector<std::string>{"aa", ",", "bb", "cc", "!"}));
    EXPECT_EQ(chunks[0].text, "aa, bb cc!");
    EXPECT_EQ(chunks[0].totalFrames, 0.0f);
    EXPECT_EQ(chunks[0].pauseAfterMs, 0);
    EXPECT_EQ(wordCounter, 3);
}

TEST_F(ChunkBuildingTest, CutsBeforeTheWordThatWouldPassTheBudget) {
    const auto chunks = build("aa bb cc", 5);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(joined(chunks[0].phonemes, "|"), "A|A| |B|B");
    EXPECT_EQ(joined(chunks[1].phonemes, "|"), "C|C");
    EXPECT_EQ(chunks[1].text, "cc");

    const auto alone = build("aa long bb", 5);  // a word over the budget makes a chunk of its own
    ASSERT_EQ(alone.size(), 3u);
    EXPECT_EQ(alone[1].words, std::vector<std::string>{"long"});
    EXPECT_EQ(alone[1].phonemes.size(), 7u);
}

TEST_F(ChunkBuildingTest, LeavesOutWhatHasNoSymbolsButCountsEveryWord) {
    platform::LogCapture log;
    const auto chunks = build("Zzqx aa - silent (bb) qqzx, 😀.", 50);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].words, (std::vector<std::string>{"aa", "bb"}));
    EXPECT_EQ(chunks[0].text, "aa bb,.");
    EXPECT_EQ(wordCounter, 6);  // the emoji cleans to nothing and is counted all the same
    EXPECT_EQ(log.matching("Missing phoneme entries for: ", "KokoroChunker").size(), 1u);
    EXPECT_TRUE(log.contains("Missing phoneme entries for: qqzx, silent, zzqx", "KokoroChunker"));
}

TEST_F(ChunkBuildingTest, OverridesReplaceTheirWordsAndStaleOnesAreSkipped) {
    platform::LogCapture log;
    const std::vector<TtsPhoneticOverride> overrides = {
        {0, {"X", "X", "X"}, {}, "XXX", "aa"},
        {0, {"X"}, {}, "X", "again"},
        {2, {"ɐ"}, {"ɐ"}, "ɐ", "cc"},
    };
    const auto chunks = build("aa bb cc", 50, overrides);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(joined(chunks[0].phonemes, "|"), "X|X|X| |B|B| |C|C");
    EXPECT_TRUE(log.contains("Skipping stale phonetic override for word: again (index 0)", "KokoroChunker"));
    EXPECT_TRUE(log.contains(
        "Phonetic override for word index 2 (word: cc) produced no valid tokens; falling back to lexicon"));
}

class ChunkerTest : public ::testing::Test {
protected:
    std::vector<TextChunk> chunk(std::string_view text, int capacity,
                                 const std::vector<TtsPhoneticOverride>& overrides = {}) {
        return KokoroChunker::chunk(text, lower, caseSensitive, capacity, false, symbols, overrides);
    }

    const PhonemeSet symbols = ttstest::fixtureSymbols();
    PhonemeLexicon lower = ttstest::fixtureLexicon(symbols).lower;
    PhonemeLexicon caseSensitive = ttstest::fixtureLexicon(symbols).caseSensitive;
};

TEST_F(ChunkerTest, BudgetsLeaveRoomForTheModelsOwnTokens) {
    EXPECT_EQ(tokenBudget(100, false), 86);
    EXPECT_EQ(tokenBudget(100, true), 85);
    EXPECT_EQ(tokenBudget(10, false), 1);
    EXPECT_EQ(tokenBudget(249, false), 235);
}

TEST_F(ChunkerTest, NothingToSayGivesNoChunksAndNoLog) {
    platform::LogCapture log;
    EXPECT_TRUE(chunk("   \n\t ", 100).empty());
    EXPECT_TRUE(log.entries().empty());
}

TEST_F(ChunkerTest, FoldsLinesAndMergesShortSentences) {
    EXPECT_EQ(normalizeNewlines("hello\r\nworld\n\nagain"), "hello world again");
    EXPECT_EQ(normalizeNewlines("no breaks "), "no breaks ");
    EXPECT_EQ(joinSegment("Hello", " , world "), "Hello, world");
    EXPECT_EQ(joinSegment("Hello.", "World"), "Hello. World");
    EXPECT_EQ(joinSegment("", " x "), "x");
    EXPECT_EQ(joinSegment("x", "  "), "x");

    platform::LogCapture log;
    const auto chunks = chunk("Hello world. The cat sat.\nSay hello!", 100);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].text, "Hello world. The cat sat. Say hello!");
    EXPECT_TRUE(log.contains("Merged short sentences into 1 segments (threshold=86 tokens)", "KokoroChunker"));
}

TEST_F(ChunkerTest, SplitsLongSentencesAtClausesAndKeepsTheirOrder) {
    WordTokenCache words(lower, caseSensitive, symbols);
    EXPECT_EQ(splitAtClausePunctuation("a cat, a mat; the hat: now"),
              (std::vector<std::string>{"a cat,", "a mat;", "the hat:", "now"}));
    EXPECT_EQ(splitAtClausePunctuation("1,000 cats"), (std::vector<std::string>{"1,000 cats"}));
    EXPECT_EQ(splitAtClausePunctuation("no clauses"), (std::vector<std::string>{"no clauses"}));
    EXPECT_EQ(packClauses({"hello,", "world,", "hello world"}, 14, words),
              (std::vector<std::string>{"hello, world,", "hello world"}));
    EXPECT_TRUE(packClauses({"hello,", "hello world hello world"}, 14, words).empty());

    // Budget 25 (capacity 39): the clauses take 13, 25 and 18 tokens; no two fit together.
    const auto chunks = chunk("hello world, the cat sat on the mat, and hello world.", 39);
    std::vector<std::string> texts;
    for (const auto& c : chunks) texts.push_back(c.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"hello world,", "the cat sat on the mat,", "and hello world."}));
}

TEST_F(ChunkerTest, ASentenceThatCannotBeSplitAtClausesIsCutBetweenWords) {
    platform::LogCapture log;
    // Budget 16: "hello world" takes 12 tokens, one more word would pass it.
    const auto unpunctuated = chunk("hello world hello world hello world hello world", 30);
    ASSERT_EQ(unpunctuated.size(), 4u);
    EXPECT_EQ(unpunctuated[3].text, "hello world");
    EXPECT_FALSE(log.contains("segmentsByPeriodsSplit"));

    const auto oversized = chunk("hello, hello world hello world hello world", 30);
    EXPECT_TRUE(log.contains("segmentsByPeriodsSplit[0]: no punctuation-based split within capacity; "
                             "deferring to chunk builder",
                             "KokoroChunker"));
    std::vector<std::string> words;
    for (const auto& c : oversized) words.insert(words.end(), c.words.begin(), c.words.end());
    EXPECT_EQ(words.size(), 7u);
}

TEST_F(ChunkerTest, AppliesOverridesInWordOrderAndReportsTheUnused) {
    platform::LogCapture log;
    const std::vector<TtsPhoneticOverride> overrides = {
        {5, {"z"}, {"z"}, "z", "fifth"},
        {2, {"d"}, {"d"}, "d", "second"},
        {2, {"b"}, {"b"}, "b", "again"},
        {9, {"k"}, {"k"}, "k", "ninth"},
        {12, {"k"}, {"k"}, "k", "twelfth"},
    };
    const auto chunks = chunk("hello world the cat sat on the mat.", 100, overrides);
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(joined(chunks[0].phonemes, "|"),
              "h|ə|l|ˈ|o| |w|ˈ|ɜ|r|l|d| |d| |k|ˈ|æ|t| |s|ˈ|æ|t| |z| |ð|ə| |m|ˈ|æ|t|.");
    EXPECT_TRUE(log.contains("Skipping stale phonetic override for word: again (index 2)"));
    EXPECT_TRUE(log.contains("Unused phonetic overrides for words: ninth, twelfth", "KokoroChunker"));
}

// The words of a text in order, as the chunker sees them.
std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    for (const auto& atom : atomize(text)) {
        if (atom.kind == AtomKind::word && !cleanWord(atom.text).empty()) words.push_back(atom.text);
    }
    return words;
}

TEST_F(ChunkerTest, ALongTextFitsBothModelsWithEveryWordOnce) {
    const std::string text = TtsTextPreprocessor::preprocess(testsupport::speechSampleText(2500)).text;
    const std::vector<std::string> expected = wordsOf(text);
    std::size_t fiveSecondChunks = 0;
    for (const int capacity : {124, 249}) {
        SCOPED_TRACE(capacity);
        const int budget = tokenBudget(capacity, false);
        platform::LogCapture log;
        const auto chunks = chunk(text, capacity);
        std::vector<std::string> words;
        for (const auto& c : chunks) {
            EXPECT_LE(static_cast<int>(c.phonemes.size()), budget) << c.text;
            ASSERT_FALSE(c.phonemes.empty());
            EXPECT_NE(c.phonemes.front(), " ") << c.text;
            EXPECT_NE(c.phonemes.back(), " ") << c.text;
            for (const auto& symbol : c.phonemes) EXPECT_TRUE(symbols.contains(symbol)) << symbol;
            // With room for every sentence of the text, a chunk ends where a sentence or clause
            // ends, unless it comes from the long unpunctuated one, which only a cut between words
            // can split.
            const bool runOn = c.text.find("the old mill") != std::string::npos || c.text.starts_with("and then");
            const bool atMark = std::string_view(".!?,;:").find(c.text.back()) != std::string_view::npos;
            if (capacity == 249) {
                EXPECT_TRUE(runOn || atMark) << c.text;
            }
            words.insert(words.end(), c.words.begin(), c.words.end());
        }
        EXPECT_EQ(words, expected);
        EXPECT_FALSE(log.contains("Missing phoneme entries"));
        if (capacity == 124) {
            fiveSecondChunks = chunks.size();
        } else {
            EXPECT_LT(chunks.size(), fiveSecondChunks);
        }
    }
}

}  // namespace
}  // namespace rarivoredu
