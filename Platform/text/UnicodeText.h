#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Text measures over UTF-8 as a user sees the text. "White space" is the Unicode White_Space
// property: spaces of every width, tab, line feed, carriage return, form feed, U+0085, U+2028 and
// U+2029. Ill-formed UTF-8 bytes count as one character each and are never white space.

// The number of extended grapheme clusters: "e" + combining accent is one, a flag emoji is one.
std::int64_t characterCount(std::string_view text);

// The first `count` characters (extended grapheme clusters), or all of the text when it is
// shorter; never ends inside a character.
std::string_view characterPrefix(std::string_view text, std::int64_t count);

// The text without white space at either end.
std::string trimmingWhitespaceAndNewlines(std::string_view text);

// The text in Unicode normalisation form C (canonical composition): "e" followed by a combining
// acute accent becomes "é". Ill-formed UTF-8 sequences become U+FFFD.
std::string precomposedStringWithCanonicalMapping(std::string_view text);

// The pieces between white-space characters, empty pieces included ("a  b" gives "a", "", "b").
std::vector<std::string_view> componentsSeparatedByWhitespaceAndNewlines(std::string_view text);

}  // namespace platform
