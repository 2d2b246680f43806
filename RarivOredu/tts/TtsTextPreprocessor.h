#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/text/NSRegularExpression.h"
#include "RarivOredu/tts/TtsPreprocessingResult.h"

namespace rarivoredu::TtsTextPreprocessor {

// Turns the text a caller wants spoken into text that reads well aloud, and takes the inline
// pronunciation markup out of it. In order: thousands separators, dates, number ranges,
// currency, clock times, decimals, units, abbreviations, alias markup "[label](spoken)", and
// pronunciation markup "[word](/phonemes/)". Never fails; any thread may call it.
TtsPreprocessingResult preprocess(std::string_view text);

// Compiles a pattern in ICU syntax; throws platform::NSError when it does not compile.
platform::NSRegularExpression makeRegex(std::string_view pattern, unsigned options = 0);

struct Abbreviation {
    std::string written;
    std::string spoken;
    // An abbreviation that may close a sentence keeps its period there ("… pears, etc. Then").
    bool mayEndSentence = false;
};
// The abbreviations spoken in full ("Mr." → "Mister", "e.g." → "for example"), longest first so
// that "etc." is found before "etc".
const std::vector<Abbreviation>& abbreviations();

std::string expandAbbreviations(std::string_view text);
// "[NASA](nasa)" → "nasa"; markup whose content is "/phonemes/" stays for the overrides.
std::string applyAliasMarkup(std::string_view text);

}  // namespace rarivoredu::TtsTextPreprocessor
