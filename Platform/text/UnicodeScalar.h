#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Unicode scalars of UTF-8 text and the properties the text front ends ask of them.

// Decodes the scalar at `position` and moves `position` past it. An ill-formed byte decodes to
// U+FFFD and advances by one.
char32_t nextScalar(std::string_view text, std::size_t& position) noexcept;
// Appends the scalar as UTF-8.
void appendScalar(std::string& text, char32_t scalar);

bool isAlphabeticScalar(char32_t scalar) noexcept;     // the Alphabetic property
bool hasNumericType(char32_t scalar) noexcept;         // any numeric type: digits, fractions, numerals
bool isWhiteSpaceScalar(char32_t scalar) noexcept;     // the White_Space property
bool isUppercaseScalar(char32_t scalar) noexcept;      // the Uppercase property
bool isNewlineScalar(char32_t scalar) noexcept;        // U+000A to U+000D, U+0085, U+2028, U+2029
bool isLetterOrMarkScalar(char32_t scalar) noexcept;   // general categories L and M
bool isDecimalDigitScalar(char32_t scalar) noexcept;   // general category Nd
bool isCombiningMarkScalar(char32_t scalar) noexcept;  // general categories Mn, Mc, Me
bool isEmojiScalar(char32_t scalar) noexcept;          // Emoji or Emoji_Presentation

}  // namespace platform
