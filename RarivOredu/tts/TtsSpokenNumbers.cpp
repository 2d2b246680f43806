#include "RarivOredu/tts/TtsSpokenNumbers.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "Platform/system/IntegerText.h"
#include "Platform/text/CharacterIterator.h"
#include "Platform/text/NumberFormatter.h"
#include "Platform/text/StringSearch.h"
#include "RarivOredu/tts/MatchRewriter.h"

namespace rarivoredu::TtsTextPreprocessor {
namespace {

using platform::NSRegularExpression;
using platform::NSTextCheckingResult;

const platform::NumberFormatter& cardinalWords() {
    static const platform::NumberFormatter* const formatter =
        new platform::NumberFormatter("en_US_POSIX", platform::NumberFormatter::Style::spellOut);
    return *formatter;
}

const platform::NumberFormatter& ordinalWords() {
    static const platform::NumberFormatter* const formatter =
        new platform::NumberFormatter("en_US_POSIX", platform::NumberFormatter::Style::spellOutOrdinal);
    return *formatter;
}

struct Currency {
    std::string_view symbol;
    std::string_view unit, units;
    std::string_view subunit, subunits;
};

constexpr std::array<Currency, 3> kCurrencies{{
    {"$", "dollar", "dollars", "cent", "cents"},
    {"£", "pound", "pounds", "penny", "pence"},
    {"€", "euro", "euros", "cent", "cents"},
}};

constexpr std::array<std::string_view, 10> kDigitWords{"zero", "one", "two",   "three", "four",
                                                       "five", "six", "seven", "eight", "nine"};

constexpr std::array<std::string_view, 12> kMonths{"January", "February", "March",     "April",   "May",      "June",
                                                   "July",    "August",   "September", "October", "November", "December"};

std::string decimal(std::int64_t value) { return std::to_string(value); }

bool isAllZeros(std::string_view digits) { return digits.find_first_not_of('0') == std::string_view::npos; }

// The readable form of a date, or nothing when the numbers name no day of the calendar.
std::optional<std::string> spokenDate(std::int64_t year, std::int64_t month, std::int64_t day) {
    if (month < 1 || month > 12 || day < 1) return std::nullopt;
    static constexpr std::array<int, 12> kDays{31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[static_cast<std::size_t>(month - 1)] || (month == 2 && day == 29 && !leap)) return std::nullopt;
    const auto ordinal = ordinalWords().string(day);
    if (!ordinal) return std::nullopt;
    return std::string(kMonths[static_cast<std::size_t>(month - 1)]) + " " + *ordinal + ", " + decimal(year);
}

// "1990" → "nineteen nineties", "1800" → "eighteen hundreds", "2000" → "two thousands"; "1000s"
// are a count, as in "1000s of people": "thousands".
std::optional<std::string> spokenDecade(std::int64_t year) {
    if (year == 1000) return "thousands";
    if (year % 1000 == 0) {
        const auto thousands = cardinalWords().string(year / 1000);
        if (!thousands) return std::nullopt;
        return *thousands + " thousands";
    }
    const auto century = cardinalWords().string(year / 100);
    if (!century) return std::nullopt;
    if (year % 100 == 0) return *century + " hundreds";
    const auto tens = cardinalWords().string(year % 100);
    if (!tens) return std::nullopt;
    return *century + " " + pluralize(*tens);
}

}  // namespace

std::optional<std::string> spelledOut(std::int64_t value) { return cardinalWords().string(value); }

std::string pluralize(std::string_view name) {
    const auto endsWith = [name](std::string_view tail) { return name.ends_with(tail); };
    std::string plural(name);
    if (endsWith("s") || endsWith("x") || endsWith("ch") || endsWith("sh")) return plural + "es";
    if (endsWith("y") && name.size() > 1) {
        const char before = name[name.size() - 2];
        if (std::string_view("aeiou").find(before) != std::string_view::npos) return plural + "s";
        plural.pop_back();
        return plural + "ies";
    }
    if (endsWith("f")) {
        plural.pop_back();
        return plural + "ves";
    }
    if (endsWith("fe")) {
        plural.resize(plural.size() - 2);
        return plural + "ves";
    }
    return plural + "s";
}

std::string normalizeDates(std::string_view text) {
    static const NSRegularExpression isoDate("(?<![\\w-])(\\d{4})-(\\d{2})-(\\d{2})(?![\\w-])");
    static const NSRegularExpression decade("\\b([12]\\d\\d0)(?:'|’)?s\\b");
    const std::string dated = rewriteMatches(isoDate, text, [](const NSTextCheckingResult& match, std::string_view in)
                                                                -> std::optional<std::string> {
        const auto year = platform::int64FromText(match.range(1).in(in));
        const auto month = platform::int64FromText(match.range(2).in(in));
        const auto day = platform::int64FromText(match.range(3).in(in));
        if (!year || !month || !day) return std::nullopt;
        return spokenDate(*year, *month, *day);
    });
    return rewriteMatches(decade, dated, [](const NSTextCheckingResult& match, std::string_view in)
                                             -> std::optional<std::string> {
        const auto year = platform::int64FromText(match.range(1).in(in));
        if (!year) return std::nullopt;
        return spokenDecade(*year);
    });
}

std::string normalizeCurrency(std::string_view text) {
    static const NSRegularExpression amount(
        "[\\$£€]\\d+(?:\\.\\d+)?(?:\\ hundred|\\ thousand|\\ (?:[bm]|tr)illion)*\\b|[\\$£€]\\d+\\.\\d\\d?\\b");
    return rewriteMatches(amount, text, [](const NSTextCheckingResult& match, std::string_view in)
                                            -> std::optional<std::string> {
        const std::string_view written = match.range().in(in);
        const Currency* currency = nullptr;
        for (const auto& candidate : kCurrencies) {
            if (written.starts_with(candidate.symbol)) currency = &candidate;
        }
        if (currency == nullptr) return std::nullopt;
        const std::string_view figures = written.substr(currency->symbol.size());
        const std::size_t numberEnd = figures.find(' ');
        const std::string_view number = figures.substr(0, numberEnd);
        const std::size_t point = number.find('.');
        const std::string_view wholeDigits = number.substr(0, point);
        const auto whole = platform::int64FromText(wholeDigits);
        if (!whole) return std::nullopt;
        // With scale words the amount is read as a number of units: "1.5 million dollars".
        if (numberEnd != std::string_view::npos) {
            return std::string(number) + std::string(figures.substr(numberEnd)) + " " + std::string(currency->units);
        }
        const std::string unitWord(*whole == 1 ? currency->unit : currency->units);
        const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : number.substr(point + 1);
        if (fraction.empty() || isAllZeros(fraction)) return decimal(*whole) + " " + unitWord;
        // More than two places is no amount of cents: the decimal pass reads it.
        if (fraction.size() > 2) return decimal(*whole) + "." + std::string(fraction) + " " + std::string(currency->units);
        const auto fractionValue = platform::int64FromText(fraction);
        if (!fractionValue) return std::nullopt;
        const std::int64_t cents = *fractionValue * (fraction.size() == 1 ? 10 : 1);
        const std::string subunits = decimal(cents) + " " + std::string(cents == 1 ? currency->subunit : currency->subunits);
        if (*whole == 0) return subunits;
        return decimal(*whole) + " " + unitWord + " and " + subunits;
    });
}

std::string normalizeClockTimes(std::string_view text) {
    static const NSRegularExpression time("\\b(?:[1-9]|1[0-2]):[0-5]\\d\\b");
    return rewriteMatches(time, text, [](const NSTextCheckingResult& match, std::string_view in)
                                          -> std::optional<std::string> {
        const std::string_view written = match.range().in(in);
        const std::size_t colon = written.find(':');
        const auto hours = platform::int64FromText(written.substr(0, colon));
        const auto minutes = platform::int64FromText(written.substr(colon + 1));
        if (!hours || !minutes) return std::nullopt;
        if (*minutes == 0) return decimal(*hours) + " o'clock";
        if (*minutes < 10) return decimal(*hours) + " oh " + decimal(*minutes);
        return decimal(*hours) + " " + decimal(*minutes);
    });
}

std::string normalizeDecimals(std::string_view text) {
    static const NSRegularExpression number("\\b\\d*\\.\\d+(?=\\s|[a-zA-Z]|$)");
    return rewriteMatches(number, text, [](const NSTextCheckingResult& match, std::string_view in) {
        const platform::NSRange range = match.range();
        const std::string_view written = range.in(in);
        const std::size_t point = written.find('.');
        const std::string_view integerPart = written.substr(0, point);
        std::string spoken(integerPart);
        if (!integerPart.empty()) {
            if (const auto value = platform::int64FromText(integerPart)) {
                if (const auto words = cardinalWords().string(*value)) spoken = *words;
            }
        }
        spoken += " point";
        for (const char digit : written.substr(point + 1)) {
            if (digit < '0' || digit > '9') continue;  // digits of other scripts have no word here
            spoken += ' ';
            spoken += kDigitWords[static_cast<std::size_t>(digit - '0')];
        }
        platform::CharacterIterator after(in.substr(range.end()));
        if (const auto next = after.next(); next && platform::isLetter(*next)) spoken += ' ';
        return spoken;
    });
}

namespace {

// Determiners that make an "in" before them the preposition: "5 in the morning", "3 in a row".
constexpr std::array<std::string_view, 23> kDeterminers{
    "a",   "an",    "the",  "this",  "that", "these", "those", "my",      "your",  "his",   "her", "its",
    "our", "their", "each", "every", "some", "any",   "all",   "another", "both", "which", "whose",
};

// A four-digit number from 1000 to 2999 reads as a year: "born in 1990 in poverty".
bool isYearLike(std::string_view number) {
    return number.size() == 4 && (number[0] == '1' || number[0] == '2') &&
           number.find_first_not_of("0123456789") == std::string_view::npos;
}

// The word after the white space that starts `text`: its letters and digits up to the first
// other character; empty when something else comes first.
std::string_view nextWord(std::string_view text) {
    const auto isWordCharacter = [](std::string_view c) { return platform::isLetter(c) || platform::isNumber(c); };
    platform::CharacterIterator characters(text);
    std::size_t start = 0;
    std::optional<std::string_view> character;
    while ((character = characters.next()) && platform::isWhitespace(*character)) start = characters.position();
    if (!character || !isWordCharacter(*character)) return {};
    std::size_t end = characters.position();
    while ((character = characters.next()) && isWordCharacter(*character)) end = characters.position();
    return text.substr(start, end - start);
}

// "in" after a number reads as inches ("12 in long", "a 6 in ruler") unless what follows makes
// it the preposition: a number ("one in three", "1 in 5"), a capitalised word ("1990 in Paris"),
// a determiner ("5 in the morning"), or any word after a year ("born in 1990 in poverty").
bool isPrepositionIn(std::string_view number, std::string_view abbreviation, std::string_view following) {
    if (platform::lowercased(abbreviation) != "in") return false;
    const std::string_view word = nextWord(following);
    if (word.empty()) return false;
    platform::CharacterIterator characters(word);
    const auto first = characters.next();
    if (platform::isNumber(*first) || platform::isUppercase(*first) || isYearLike(number)) return true;
    const std::string lower = platform::lowercased(word);
    if (std::find(kDeterminers.begin(), kDeterminers.end(), lower) != kDeterminers.end()) return true;
    const auto& numbers = numberWords();
    return lower != "point" && std::find(numbers.begin(), numbers.end(), lower) != numbers.end();
}

bool isOne(double value) { return value == 1.0; }

}  // namespace

std::string normalizeUnits(std::string_view text, const UnitTable& table) {
    const std::string digits = rewriteMatches(
        table.digitForm(), text, [&table](const NSTextCheckingResult& match, std::string_view in)
                                     -> std::optional<std::string> {
            const std::string_view number = match.range(1).in(in);
            const std::string_view abbreviation = match.range(2).in(in);
            const UnitTable::Unit* unit = table.unit(abbreviation, false);
            if (unit == nullptr || isPrepositionIn(number, abbreviation, in.substr(match.range().end()))) {
                return std::nullopt;
            }
            double value = 0;
            const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
            const bool singular = error != std::errc() || end != number.data() + number.size() || isOne(value);
            return std::string(number) + " " + (singular ? unit->singular : unit->plural);
        });
    return rewriteMatches(table.wordForm(), digits, [&table](const NSTextCheckingResult& match, std::string_view in)
                                                       -> std::optional<std::string> {
        const std::string_view words = match.range(1).in(in);
        const std::string_view abbreviation = match.range(2).in(in);
        const UnitTable::Unit* unit = table.unit(abbreviation, true);
        if (unit == nullptr || isPrepositionIn(words, abbreviation, in.substr(match.range().end()))) return std::nullopt;
        const bool singular = platform::lowercased(words) == "one";
        return std::string(words) + " " + (singular ? unit->singular : unit->plural);
    });
}

}  // namespace rarivoredu::TtsTextPreprocessor
