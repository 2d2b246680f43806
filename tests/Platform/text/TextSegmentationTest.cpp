#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/NLTagger.h"
#include "Platform/text/NLTokenizer.h"
#include "Platform/text/UnicodeText.h"

namespace platform {
namespace {

std::vector<std::string> characters(std::string_view text) {
    std::vector<std::string> found;
    CharacterIterator iterator(text);
    while (const auto character = iterator.next()) found.emplace_back(*character);
    return found;
}

TEST(CharacterIteratorTest, YieldsWhatAReaderSeesAsOneCharacter) {
    struct Case {
        std::string text;
        std::vector<std::string> characters;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"ab c", {"a", "b", " ", "c"}},
        {"a\r\nb\n", {"a", "\r\n", "b", "\n"}},
        {"e\u0301!", {"e\u0301", "!"}},                                  // combining accent joins its letter
        {"x\U0001F1E9\U0001F1EAy", {"x", "\U0001F1E9\U0001F1EA", "y"}},  // a flag is one
        {"\U0001F469\u200D\U0001F4BB.", {"\U0001F469\u200D\U0001F4BB", "."}},
        {"a\xff" "b", {"a", "\xff", "b"}},  // an ill-formed byte stands alone
        {"\u0301a", {"\u0301", "a"}},      // a lone combining mark
    };
    for (const Case& c : cases) EXPECT_EQ(characters(c.text), c.characters) << c.text;
}

TEST(CharacterIteratorTest, GoesOnFromAPositionGiven) {
    const std::string text = "ab[cd]ef";
    CharacterIterator iterator(text);
    iterator.setPosition(6);
    EXPECT_EQ(iterator.next(), std::optional<std::string_view>("e"));
    iterator.setPosition(100);
    EXPECT_EQ(iterator.next(), std::nullopt);
}

TEST(CharacterIteratorTest, PropertiesFollowTheFirstScalar) {
    struct Case {
        std::string character;
        bool letter, number, whitespace, newline, uppercase, emoji, marksOnly;
    };
    const std::vector<Case> cases = {
        {"a", true, false, false, false, false, false, false},
        {"Ä", true, false, false, false, true, false, false},
        {"ʼ", true, false, false, false, false, false, false},  // modifier letter apostrophe
        {"7", false, true, false, false, false, true, false},  // digits carry the Emoji property
        {"½", false, true, false, false, false, false, false},
        {"\r\n", false, false, true, true, false, false, false},
        {"\u2028", false, false, true, true, false, false, false},
        {"\u00A0", false, false, true, false, false, false, false},
        {"#", false, false, false, false, false, true, false},
        {"\U0001F600", false, false, false, false, false, true, false},
        {"\u0301", false, false, false, false, false, false, true},
        {",", false, false, false, false, false, false, false},
        {"", false, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.character);
        EXPECT_EQ(isLetter(c.character), c.letter);
        EXPECT_EQ(isNumber(c.character), c.number);
        EXPECT_EQ(isWhitespace(c.character), c.whitespace);
        EXPECT_EQ(isNewline(c.character), c.newline);
        EXPECT_EQ(isUppercase(c.character), c.uppercase);
        EXPECT_EQ(containsEmoji(c.character), c.emoji);
        EXPECT_EQ(isCombiningMarksOnly(c.character), c.marksOnly);
    }
}

TEST(UnicodeTextTest, ComposesCanonically) {
    EXPECT_EQ(precomposedStringWithCanonicalMapping("Cafe\u0301 A\u030A"), "Café Å");
    EXPECT_EQ(precomposedStringWithCanonicalMapping("plain"), "plain");
}

std::vector<std::string> sentences(std::string_view text, std::string_view language) {
    NLTokenizer tokenizer(NLTokenizer::Unit::sentence);
    tokenizer.setLanguage(language);
    std::vector<std::string> found;
    for (const auto& range : tokenizer.tokens(text)) found.push_back(trimmingWhitespaceAndNewlines(range.in(text)));
    return found;
}

TEST(NLTokenizerTest, CutsSentencesButNotAfterKnownAbbreviations) {
    EXPECT_EQ(sentences("Hello there. How are you? Fine!", "en"),
              (std::vector<std::string>{"Hello there.", "How are you?", "Fine!"}));
    EXPECT_EQ(sentences("Mr. Smith met Mrs. Jones. They talked.", "en"),
              (std::vector<std::string>{"Mr. Smith met Mrs. Jones.", "They talked."}));
    EXPECT_EQ(sentences("Er kam z.B. gestern. Dann ging er.", "de"),
              (std::vector<std::string>{"Er kam z.B. gestern.", "Dann ging er."}));
    EXPECT_EQ(sentences("no end mark", "xx"), (std::vector<std::string>{"no end mark"}));
    EXPECT_TRUE(sentences("", "en").empty());
}

TEST(NLTokenizerTest, SentencesCoverTheWholeText) {
    const std::string text = "One. Two!  Three?\n\nFour";
    NLTokenizer tokenizer(NLTokenizer::Unit::sentence);
    std::size_t end = 0;
    for (const auto& range : tokenizer.tokens(text)) {
        EXPECT_EQ(range.location, end);
        end = range.end();
    }
    EXPECT_EQ(end, text.size());
}

TEST(NLTaggerTest, TagsEachTokenWithItsLexicalClass) {
    const std::string text = "Hi, 3 dogs; 1,000 cats: ok…";
    std::vector<std::pair<std::string, NLTagger::Tag>> tags;
    for (const auto& token : NLTagger::lexicalClasses(text)) tags.emplace_back(token.range.in(text), token.tag);
    using Tag = NLTagger::Tag;
    const std::vector<std::pair<std::string, NLTagger::Tag>> expected = {
        {"Hi", Tag::word},   {",", Tag::punctuation}, {" ", Tag::whitespace},    {"3", Tag::number},
        {" ", Tag::whitespace}, {"dogs", Tag::word}, {";", Tag::punctuation},    {" ", Tag::whitespace},
        {"1,000", Tag::number}, {" ", Tag::whitespace}, {"cats", Tag::word},     {":", Tag::punctuation},
        {" ", Tag::whitespace}, {"ok", Tag::word},   {"…", Tag::punctuation},
    };
    EXPECT_EQ(tags, expected);
    EXPECT_TRUE(NLTagger::lexicalClasses("").empty());
}

}  // namespace
}  // namespace platform
