#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <unicode/locid.h>

#include "Platform/text/NumberFormatter.h"

namespace platform {
namespace {

struct Case {
    std::int64_t value;
    NumberFormatter::Style style;
    std::optional<std::string> words;
};

const std::vector<Case>& cases() {
    using Style = NumberFormatter::Style;
    static const std::vector<Case> all = {
        {0, Style::spellOut, "zero"},
        {42, Style::spellOut, "forty-two"},
        {-7, Style::spellOut, "minus seven"},
        {1234, Style::spellOut, "one thousand two hundred thirty-four"},
        {999'999'999'999'999'999, Style::spellOut,
         "nine hundred ninety-nine quadrillion nine hundred ninety-nine trillion nine hundred ninety-nine billion "
         "nine hundred ninety-nine million nine hundred ninety-nine thousand nine hundred ninety-nine"},
        // Beyond the words the rules know, ICU writes digits: that is no spelling.
        {std::numeric_limits<std::int64_t>::max(), Style::spellOut, std::nullopt},
        {1, Style::spellOutOrdinal, "first"},
        {21, Style::spellOutOrdinal, "twenty-first"},
        {31, Style::spellOutOrdinal, "thirty-first"},
    };
    return all;
}

// English words whatever the locale of the C library and of ICU.
TEST(NumberFormatterTest, SpellsOutInTheGivenLocaleOnly) {
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    const icu::Locale previousIcu = icu::Locale::getDefault();
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr) << "scripts/install-deps.sh makes the locale";
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(std::string(locale).substr(0, 5).c_str()), status);
        for (const Case& c : cases()) {
            const NumberFormatter formatter("en_US_POSIX", c.style);
            EXPECT_EQ(formatter.string(c.value), c.words) << c.value;
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(previousIcu, status);
    std::setlocale(LC_ALL, previousC.c_str());
}

}  // namespace
}  // namespace platform
