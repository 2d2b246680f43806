#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/tts/TtsPreprocessingResult.h"

namespace rarivoredu::TtsTextPreprocessor {

// The characters taken for an apostrophe: ' ’ ʼ ‛ ‵ ′.
bool isApostrophe(std::string_view character) noexcept;

// One "[word](/phonemes/)" markup as found in the text.
struct OverrideMarkup {
    std::string word;  // between the brackets, untrimmed
    std::string raw;   // between the slashes, trimmed
    std::vector<std::string> tokens;
    std::vector<std::string> scalarTokens;
    std::size_t end = 0;  // byte offset right after ")"
};

// Takes the pronunciation markup out of the text and counts the words of what is left, so that
// each override names the word it belongs to. Markup glued to a word belongs to that word: the
// override of "ab[c](/x/)" is for the word "abc".
TtsPreprocessingResult extractPhoneticOverrides(std::string_view text);

// The markup that starts with the "[" at byte offset `open`, or nothing when there is none.
std::optional<OverrideMarkup> parseOverrideMarkup(std::string_view text, std::size_t open);

struct OverridePhonemes {
    std::vector<std::string> tokens;        // split at white space; the whole text when not split
    std::vector<std::string> scalarTokens;  // one Unicode scalar each
};
OverridePhonemes parseOverridePhonemes(std::string_view text);

}  // namespace rarivoredu::TtsTextPreprocessor
