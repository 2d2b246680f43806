#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RarivOredu/tts/TtsSpokenNumbers.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"
#include "tests/RarivOredu/tts/TtsTestSupport.h"

namespace rarivoredu {
namespace {

struct Spoken {
    std::string written;
    std::string spoken;
};

const std::vector<Spoken>& spokenCases() {
    static const std::vector<Spoken> cases = {
        // Thousands separators: only a whole grouped number loses its commas.
        {"1,234,567", "1234567"},
        {"1,000,000 people", "1000000 people"},
        {"1,000 2,000", "1000 2000"},
        {"1,2,3", "1,2,3"},
        {"1,234,56", "1,234,56"},
        {"Hello, world", "Hello, world"},
        // Dates and decades.
        {"2024-05-01", "May first, 2024"},
        {"Due 2023-12-31.", "Due December thirty-first, 2023."},
        {"the 1990s", "the nineteen nineties"},
        {"the 1800s and 2000s", "the eighteen hundreds and two thousands"},
        {"the 1960's", "the nineteen sixties"},
        {"1000s of people", "thousands of people"},
        {"in the 1000's", "in the thousands"},
        // Ranges.
        {"5-10", "5 to 10"},
        {"$5-$10", "5 dollars to 10 dollars"},
        // Currency.
        {"$5", "5 dollars"},
        {"$1", "1 dollar"},
        {"$3.50", "3 dollars and 50 cents"},
        {"$1.05", "1 dollar and 5 cents"},
        {"$1.5", "1 dollar and 50 cents"},
        {"$0.01", "1 cent"},
        {"£2.50", "2 pounds and 50 pence"},
        {"£0.01", "1 penny"},
        {"€1", "1 euro"},
        {"$2.00", "2 dollars"},
        {"$5 million", "5 million dollars"},
        {"$1.5 million", "one point five million dollars"},
        {"$1.234", "one point two three four dollars"},
        {"pay in $ today", "pay in $ today"},
        // Clock times.
        {"7:00", "7 o'clock"},
        {"3:05", "3 oh 5"},
        {"12:30", "12 30"},
        {"13:00", "13:00"},
        {"0:30", "0:30"},
        // Decimals.
        {"3.14", "three point one four"},
        {"pi is 3.14159 or so", "pi is three point one four one five nine or so"},
        {"3.5,", "3.5,"},
        // Units.
        {"5kg", "5 kilograms"},
        {"5 kg", "5 kilograms"},
        {"1 kg", "1 kilogram"},
        {"1.0 kg", "one point zero kilograms"},
        {"2.5kg", "two point five kilograms"},
        {"3.14 m", "three point one four meters"},
        {"twenty five km", "twenty five kilometers"},
        {"one kg", "one kilogram"},
        {"One kg", "One kilogram"},
        {"25°C", "25 degrees Celsius"},
        {"1 °C", "1 degree Celsius"},
        {"5 lbs", "5 pounds"},
        {"6 ft", "6 feet"},
        {"3 in", "3 inches"},
        {"3 in.", "3 inches."},
        {"5 fl oz", "5 fluid ounces"},
        // "in" after a number: inches, unless a number, a capitalised word or a determiner follows,
        // or any word after a year.
        {"a 6 in ruler", "a 6 inches ruler"},
        {"12 in long", "12 inches long"},
        {"twelve in long", "twelve inches long"},
        {"1990 in Paris", "1990 in Paris"},
        {"born in 1990 in Paris", "born in 1990 in Paris"},
        {"born in 1990 in poverty", "born in 1990 in poverty"},
        {"one in three", "one in three"},
        {"1 in 5", "1 in 5"},
        {"5 in the morning", "5 in the morning"},
        {"3 in a row", "3 in a row"},
        {"1 in every 10", "1 in every 10"},
        {"12 in, then 3 in", "12 inches, then 3 inches"},
        {"10 s", "10 seconds"},
        {"2 h and 5 min", "2 hours and 5 minutes"},
        // Abbreviations.
        {"Mr. Smith", "Mister Smith"},
        {"Mrs. Smith and Dr. Jones", "Missus Smith and Doctor Jones"},
        {"Prof. Li of St. Louis", "Professor Li of Saint Louis"},
        {"fruit, e.g. apples", "fruit, for example apples"},
        {"that, i.e. this", "that, that is this"},
        {"A vs B", "A versus B"},
        {"A vs. B", "A versus B"},
        {"apples, pears, etc.", "apples, pears, etcetera."},
        {"apples, etc. Then pears", "apples, etcetera. Then pears"},
        {"apples, etc. and pears", "apples, etcetera and pears"},
        {"apples etc", "apples etcetera"},
        // Alias markup.
        {"[NASA](nasa) said", "nasa said"},
        {"[label](plain words)", "plain words"},
        {"[x](/ /)", "[x](/ /)"},
    };
    return cases;
}

// The same spoken text whatever locale the user runs.
TEST(TtsTextPreprocessorTest, SpeaksWrittenFormsAsAnEnglishReaderWould) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        const ttstest::ScopedLocale scoped(locale);
        for (const Spoken& c : spokenCases()) {
            const TtsPreprocessingResult result = TtsTextPreprocessor::preprocess(c.written);
            EXPECT_EQ(result.text, c.spoken) << c.written;
            EXPECT_TRUE(result.phoneticOverrides.empty()) << c.written;
        }
    }
}

TEST(TtsTextPreprocessorTest, EachUnitTableOnItsOwnReadsDigitsAsWritten) {
    using namespace TtsTextPreprocessor;
    EXPECT_EQ(normalizeUnits("1.0 kg and 2.5 kg", weightUnits()), "1.0 kilogram and 2.5 kilograms");
    EXPECT_EQ(normalizeUnits("5 fl oz", weightUnits()), "5 fl oz");
    EXPECT_EQ(normalizeUnits("3 IN", lengthUnits()), "3 IN");  // digit forms are case-sensitive
    EXPECT_EQ(normalizeUnits("three IN", lengthUnits()), "three inches");
}

TEST(TtsTextPreprocessorTest, PluralizesRegularNames) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"inch", "inches"}, {"box", "boxes"}, {"dish", "dishes"}, {"class", "classes"}, {"ninety", "nineties"},
        {"day", "days"},    {"y", "ys"},      {"half", "halves"}, {"knife", "knives"},  {"meter", "meters"},
    };
    for (const auto& [name, plural] : cases) EXPECT_EQ(TtsTextPreprocessor::pluralize(name), plural) << name;
}

struct Marked {
    std::string written;
    std::string text;
    std::vector<TtsPhoneticOverride> overrides;
};

TEST(TtsTextPreprocessorTest, TakesPronunciationsOutOfTheirMarkup) {
    const std::vector<Marked> cases = {
        {"Say [Kokoro](/kˈOkəɹO/) now",
         "Say Kokoro now",
         {{1, {"kˈOkəɹO"}, {"k", "ˈ", "O", "k", "ə", "ɹ", "O"}, "kˈOkəɹO", "Kokoro"}}},
        {"[New York](/nu jɔɹk/) is big",
         "New York is big",
         {{0, {"nu", "jɔɹk"}, {"n", "u", " ", "j", "ɔ", "ɹ", "k"}, "nu jɔɹk", "New York"}}},
        // Markup glued to a word belongs to that word.
        {"ab[c](/x/) d", "abc d", {{0, {"x"}, {"x"}, "x", "c"}}},
        {"[c](/x/)de f", "cde f", {{0, {"x"}, {"x"}, "x", "c"}}},
        {"[a[b](/x/)", "[ab", {{0, {"x"}, {"x"}, "x", "b"}}},
        {"one, two [three](/θɹi/)", "one, two three", {{2, {"θɹi"}, {"θ", "ɹ", "i"}, "θɹi", "three"}}},
        // The marked word is trimmed and composed.
        {"[ Cafe\u0301 ](/ kafe /)", "Café", {{0, {"kafe"}, {"k", "a", "f", "e"}, "kafe", "Café"}}},
        // No override: empty phonemes, no slashes, empty word, unclosed markup.
        {"[x](/ /) y", "[x](/ /) y", {}},
        {"[ ](/x/) y", "[ ](/x/) y", {}},
        {"[x](/y", "[x](/y", {}},
        {"[x] (/y/)", "[x] (/y/)", {}},
    };
    for (const Marked& c : cases) {
        const TtsPreprocessingResult result = TtsTextPreprocessor::preprocess(c.written);
        EXPECT_EQ(result.text, c.text) << c.written;
        EXPECT_EQ(result.phoneticOverrides, c.overrides) << c.written;
    }
}

TEST(TtsTextPreprocessorTest, CountsWordsAfterMarkupOnFromTheMarkedWord) {
    const auto result = TtsTextPreprocessor::preprocess("[New York](/nu jɔɹk/) is [big](/bɪɡ/), y'all 😀 [ok](/okˈe/)");
    EXPECT_EQ(result.text, "New York is big, y'all 😀 ok");
    ASSERT_EQ(result.phoneticOverrides.size(), 3u);
    EXPECT_EQ(result.phoneticOverrides[0].wordIndex, 0);
    EXPECT_EQ(result.phoneticOverrides[1].wordIndex, 3);
    EXPECT_EQ(result.phoneticOverrides[2].wordIndex, 6);
}

}  // namespace
}  // namespace rarivoredu
