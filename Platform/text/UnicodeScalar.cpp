#include "Platform/text/UnicodeScalar.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace platform {

char32_t nextScalar(std::string_view text, std::size_t& position) noexcept {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (byte < 0x80) {
        ++position;
        return byte;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    auto at = static_cast<int32_t>(position);
    UChar32 scalar = 0;
    U8_NEXT(bytes, at, static_cast<int32_t>(text.size()), scalar);
    if (scalar < 0) {
        ++position;
        return 0xFFFD;
    }
    position = static_cast<std::size_t>(at);
    return static_cast<char32_t>(scalar);
}

void appendScalar(std::string& text, char32_t scalar) {
    if (scalar < 0x80) {
        text.push_back(static_cast<char>(scalar));
        return;
    }
    uint8_t buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool failed = false;
    U8_APPEND(buffer, length, U8_MAX_LENGTH, static_cast<UChar32>(scalar), failed);
    if (failed) {
        text += "\xEF\xBF\xBD";
        return;
    }
    text.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

bool isAlphabeticScalar(char32_t scalar) noexcept {
    return u_hasBinaryProperty(static_cast<UChar32>(scalar), UCHAR_ALPHABETIC);
}

bool hasNumericType(char32_t scalar) noexcept {
    return u_getIntPropertyValue(static_cast<UChar32>(scalar), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool isWhiteSpaceScalar(char32_t scalar) noexcept { return u_isUWhiteSpace(static_cast<UChar32>(scalar)); }

bool isUppercaseScalar(char32_t scalar) noexcept {
    return u_hasBinaryProperty(static_cast<UChar32>(scalar), UCHAR_UPPERCASE);
}

bool isNewlineScalar(char32_t scalar) noexcept {
    return (scalar >= 0x0A && scalar <= 0x0D) || scalar == 0x85 || scalar == 0x2028 || scalar == 0x2029;
}

bool isLetterOrMarkScalar(char32_t scalar) noexcept {
    const auto mask = U_GET_GC_MASK(static_cast<UChar32>(scalar));
    return (mask & (U_GC_L_MASK | U_GC_M_MASK)) != 0;
}

bool isDecimalDigitScalar(char32_t scalar) noexcept {
    return u_charType(static_cast<UChar32>(scalar)) == U_DECIMAL_DIGIT_NUMBER;
}

bool isCombiningMarkScalar(char32_t scalar) noexcept {
    return (U_GET_GC_MASK(static_cast<UChar32>(scalar)) & U_GC_M_MASK) != 0;
}

bool isEmojiScalar(char32_t scalar) noexcept {
    const auto c = static_cast<UChar32>(scalar);
    return u_hasBinaryProperty(c, UCHAR_EMOJI) || u_hasBinaryProperty(c, UCHAR_EMOJI_PRESENTATION);
}

}  // namespace platform
