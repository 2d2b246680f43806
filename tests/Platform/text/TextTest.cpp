#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Platform/system/NSError.h"
#include "Platform/text/NLLanguageRecognizer.h"
#include "Platform/text/NSRegularExpression.h"
#include "Platform/text/UnicodeText.h"

namespace platform {
namespace {

TEST(NLLanguageRecognizerTest, NamesTheDominantLanguageOrNothing) {
    struct Case {
        std::string text;
        std::optional<std::string> language;
    };
    const std::vector<Case> cases = {
        {"Hallo, wie geht es dir heute? Ich hoffe, es geht dir gut.", "de"},
        {"The quick brown fox jumps over the lazy dog.", "en"},
        {"Bonjour tout le monde, comment allez-vous aujourd'hui ?", "fr"},
        {"Dzień dobry, jak się masz? Mam nadzieję, że dobrze.", "pl"},
        {"Erste Zeile\n\nzweite Zeile mit einem längeren deutschen Satz darin.", "de"},
        {"", std::nullopt},
        {"12345 678", std::nullopt},
        {"ok", std::nullopt},
        {"Hallo Welt \xff\xfe und noch mehr deutscher Text", std::nullopt},  // not UTF-8
    };
    for (const Case& c : cases) {
        NLLanguageRecognizer recognizer;
        recognizer.processString(c.text);
        EXPECT_EQ(recognizer.dominantLanguage(), c.language) << c.text;
    }
}

TEST(NLLanguageRecognizerTest, ANewTextReplacesTheAnswer) {
    NLLanguageRecognizer recognizer;
    recognizer.processString("Das ist ein ganz normaler deutscher Satz über das Wetter.");
    recognizer.processString("");
    EXPECT_EQ(recognizer.dominantLanguage(), std::nullopt);
}

TEST(NSRegularExpressionTest, ReplacesEveryMatch) {
    struct Case {
        std::string pattern;
        unsigned options;
        std::string text;
        std::string replacement;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"\\bneue\\s+zeile\\b", NSRegularExpression::caseInsensitive, "a Neue  Zeile b NEUE ZEILE c", "\n",
         "a \n b \n c"},
        {"\\bneue\\s+zeile\\b", 0, "a Neue Zeile b neue zeile", "\n", "a Neue Zeile b \n"},
        // Umlauts are word characters: the boundary is not inside "nächste".
        {"\\bnächste\\s+zeile\\b", NSRegularExpression::caseInsensitive, "x NÄCHSTE Zeile y", "|", "x | y"},
        {"\\babsatz\\b", NSRegularExpression::caseInsensitive, "Absatzende Absatz", "¶", "Absatzende ¶"},
        {"[ \\t]{2,}", 0, "a \t  b", " ", "a b"},
        {"(\\w+)@", 0, "name@host", "$1 at ", "name at host"},
        {"x", 0, "", "y", ""},
    };
    for (const Case& c : cases) {
        NSRegularExpression expression(c.pattern, c.options);
        EXPECT_EQ(expression.stringByReplacingMatches(c.text, c.replacement), c.expected) << c.pattern;
    }
}

TEST(NSRegularExpressionTest, APatternThatDoesNotCompileThrows) {
    for (const char* pattern : {"(unclosed", "[a-", "*start"}) {
        EXPECT_THROW(NSRegularExpression{pattern}, NSError) << pattern;
    }
}

TEST(NSRegularExpressionTest, MatchesGiveByteRangesOfEveryGroup) {
    const NSRegularExpression expression("(\\d+)(?:\\s*(kg))?");
    const std::string text = "Grüße 12kg, 7 und 300 kg";
    const auto matches = expression.matches(text);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].range().in(text), "12kg");
    EXPECT_EQ(matches[0].range(1).in(text), "12");
    EXPECT_EQ(matches[1].range().in(text), "7");
    EXPECT_FALSE(matches[1].range(2).found());  // the group took no part
    EXPECT_EQ(matches[2].range().in(text), "300 kg");
    EXPECT_EQ(matches[2].range(2).location, text.size() - 2);
    EXPECT_TRUE(NSRegularExpression("x").matches("").empty());
}

TEST(NSRegularExpressionTest, EscapedTextMatchesItselfOnly) {
    for (const std::string literal : {"e.g.", "fl oz", "°C", "a+b*(c)?", "$1\\2", "[x]{2}|^"}) {
        const NSRegularExpression expression(NSRegularExpression::escapedPattern(literal));
        const std::string text = "<" + literal + "> " + literal;
        EXPECT_EQ(expression.matches(text).size(), 2u) << literal;
        EXPECT_EQ(expression.stringByReplacingMatches(text, NSRegularExpression::escapedTemplate("$1\\")),
                  "<$1\\> $1\\")
            << literal;
    }
}

TEST(UnicodeTextTest, CountsWhatAReaderSeesAsCharacters) {
    struct Case {
        std::string text;
        std::int64_t count;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"Hallo", 5},
        {"Grüße", 5},
        {"e\xcc\x81", 1},                         // e + combining acute
        {"\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa", 1},  // flag of Germany: two regional indicators
        {"a\r\nb", 3},                            // CR LF is one character
        {"\xf0\x9f\x98\x80!", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(characterCount(c.text), c.count) << c.text;
}

TEST(UnicodeTextTest, PrefixNeverEndsInsideACharacter) {
    struct Case {
        std::string text;
        std::int64_t count;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {"Hallo", 3, "Hal"},
        {"Hallo", 5, "Hallo"},
        {"Hallo", 9, "Hallo"},
        {"Hallo", 0, ""},
        {"", 4, ""},
        {"Grüße", 3, "Grü"},
        {"e\xcc\x81" "e\xcc\x81", 1, "e\xcc\x81"},  // the accent stays with its letter
        {"\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa", 1,
         "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa"},  // one flag, not half of two
        {"a\r\nb", 2, "a\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(characterPrefix(c.text, c.count), c.prefix) << c.text << " " << c.count;
}

TEST(UnicodeTextTest, TrimsEveryKindOfWhiteSpace) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"  Hallo Welt \n", "Hallo Welt"},
        {"\n\n\t", ""},
        {"", ""},
        {"\xc2\xa0nbsp\xe2\x80\xa8", "nbsp"},  // no-break space, line separator
        {"a\n\nb", "a\n\nb"},
        {"\xe3\x80\x80x\xe3\x80\x80", "x"},  // ideographic space
    };
    for (const Case& c : cases) EXPECT_EQ(trimmingWhitespaceAndNewlines(c.text), c.expected) << c.text;
}

TEST(UnicodeTextTest, SplitsAtEachWhiteSpaceCharacter) {
    using Pieces = std::vector<std::string_view>;
    EXPECT_EQ(componentsSeparatedByWhitespaceAndNewlines("a  b\nc"), (Pieces{"a", "", "b", "c"}));
    EXPECT_EQ(componentsSeparatedByWhitespaceAndNewlines(""), (Pieces{""}));
    EXPECT_EQ(componentsSeparatedByWhitespaceAndNewlines(" x "), (Pieces{"", "x", ""}));
    EXPECT_EQ(componentsSeparatedByWhitespaceAndNewlines("eins\xc2\xa0zwei"), (Pieces{"eins", "zwei"}));
}

}  // namespace
}  // namespace platform
