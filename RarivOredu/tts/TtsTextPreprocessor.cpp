#include "RarivOredu/tts/TtsTextPreprocessor.h"

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/StringSearch.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/MatchRewriter.h"
#include "RarivOredu/tts/TtsOverrideMarkup.h"
#include "RarivOredu/tts/TtsSpokenNumbers.h"
#include "RarivOredu/tts/TtsUnitTable.h"

namespace rarivoredu::TtsTextPreprocessor {
namespace {

using platform::NSRegularExpression;
using platform::NSTextCheckingResult;

// "1,234,567" → "1234567". Only a whole grouped number loses its commas: "1,000 2,000" gives
// "1000 2000", while "1,2,3" and "1,234,56" stay as written.
std::string removeThousandsSeparators(std::string_view text) {
    static const NSRegularExpression grouped = makeRegex("(?<!\\d)\\d{1,3}(?:,\\d{3})+(?!\\d|,\\d)");
    return rewriteMatches(grouped, text, [](const NSTextCheckingResult& match, std::string_view in) {
        std::string digits;
        const std::string_view number = match.range().in(in);
        for (const char c : number) {
            if (c != ',') digits.push_back(c);
        }
        return std::optional<std::string>(std::move(digits));
    });
}

// "5-10" → "5 to 10", "$5-$10" → "$5 to $10".
std::string expandNumberRanges(std::string_view text) {
    static const NSRegularExpression range = makeRegex("([\\$£€]?\\d+)-([\\$£€]?\\d+)");
    return range.stringByReplacingMatches(text, "$1 to $2");
}

// Whether the text after an abbreviation starts a new sentence: nothing but white space, or
// white space and then a capital letter.
bool sentenceEndsBefore(std::string_view following) {
    platform::CharacterIterator characters(following);
    bool spaced = false;
    while (const auto character = characters.next()) {
        if (platform::isWhitespace(*character)) {
            spaced = true;
            continue;
        }
        return spaced && platform::isUppercase(*character);
    }
    return true;
}

// Every abbreviation in one pattern, longest first. A closing "\b" after a period would need a
// letter right after it; what matters is that no letter follows. No spoken form holds an
// abbreviation, so one pass reads as one pass per abbreviation would.
const NSRegularExpression& abbreviationPattern() {
    static const NSRegularExpression pattern = [] {
        std::string alternatives;
        for (const Abbreviation& abbreviation : abbreviations()) {
            if (!alternatives.empty()) alternatives += '|';
            alternatives += NSRegularExpression::escapedPattern(abbreviation.written);
            alternatives += abbreviation.written.ends_with('.') ? "(?!\\w)" : "\\b";
        }
        return makeRegex("\\b(?:" + alternatives + ")", NSRegularExpression::caseInsensitive);
    }();
    return pattern;
}

const Abbreviation* abbreviationWritten(std::string_view written) {
    const std::string wanted = platform::lowercased(written);
    for (const Abbreviation& abbreviation : abbreviations()) {
        if (platform::lowercased(abbreviation.written) == wanted) return &abbreviation;
    }
    return nullptr;
}

}  // namespace

NSRegularExpression makeRegex(std::string_view pattern, unsigned options) {
    return NSRegularExpression(pattern, options);
}

const std::vector<Abbreviation>& abbreviations() {
    static const std::vector<Abbreviation> table = {
        {"Prof.", "Professor"}, {"Mrs.", "Missus"}, {"e.g.", "for example"}, {"i.e.", "that is"},
        {"etc.", "etcetera", true}, {"vs.", "versus"}, {"Mr.", "Mister"}, {"Dr.", "Doctor"},
        {"St.", "Saint"}, {"etc", "etcetera"}, {"vs", "versus"},
    };
    return table;
}

std::string expandAbbreviations(std::string_view text) {
    return rewriteMatches(abbreviationPattern(), text, [](const NSTextCheckingResult& match, std::string_view in)
                                                           -> std::optional<std::string> {
        const Abbreviation* abbreviation = abbreviationWritten(match.range().in(in));
        if (abbreviation == nullptr) return std::nullopt;
        std::string spoken = abbreviation->spoken;
        if (abbreviation->mayEndSentence && sentenceEndsBefore(in.substr(match.range().end()))) spoken += '.';
        return spoken;
    });
}

std::string applyAliasMarkup(std::string_view text) {
    if (text.find('[') == std::string_view::npos || text.find("](") == std::string_view::npos) return std::string(text);
    static const NSRegularExpression alias = makeRegex("\\[[^\\[\\]]{1,256}\\]\\(\\s*([^\\)]{1,512}?)\\s*\\)");
    return rewriteMatches(alias, text, [](const NSTextCheckingResult& match, std::string_view in)
                                           -> std::optional<std::string> {
        std::string content = platform::trimmingWhitespaceAndNewlines(match.range(1).in(in));
        if (content.size() >= 2 && content.front() == '/' && content.back() == '/') return std::nullopt;
        return content;
    });
}

TtsPreprocessingResult preprocess(std::string_view text) {
    std::string normalized = removeThousandsSeparators(text);
    normalized = normalizeDates(normalized);
    normalized = expandNumberRanges(normalized);
    normalized = normalizeCurrency(normalized);
    normalized = normalizeClockTimes(normalized);
    normalized = normalizeDecimals(normalized);
    normalized = normalizeUnits(normalized, unitsOfEveryKind());
    normalized = expandAbbreviations(normalized);
    normalized = applyAliasMarkup(normalized);
    return extractPhoneticOverrides(normalized);
}

}  // namespace rarivoredu::TtsTextPreprocessor
