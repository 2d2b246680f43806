#include "Platform/text/UnicodeText.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <memory>

namespace platform {
namespace {

// Calls visit(start, end, isWhitespace) for each code point (or ill-formed byte) of the text.
template <typename Visit>
void forEachCodePoint(std::string_view text, Visit visit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        visit(static_cast<std::size_t>(start), static_cast<std::size_t>(i), c >= 0 && u_isUWhiteSpace(c));
    }
}

}  // namespace

std::int64_t characterCount(std::string_view text) {
    if (text.empty()) return 0;
    const icu::UnicodeString value = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return value.countChar32();
    iterator->setText(value);
    std::int64_t count = 0;
    for (int32_t at = iterator->next(); at != icu::BreakIterator::DONE; at = iterator->next()) ++count;
    return count;
}

std::string_view characterPrefix(std::string_view text, std::int64_t count) {
    if (count <= 0) return text.substr(0, 0);
    // Over the UTF-8 bytes themselves, so that the boundaries found are byte offsets.
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status)) return text;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    std::size_t end = text.size();
    if (U_SUCCESS(status)) {
        iterator->setText(utext, status);
        std::int64_t seen = 0;
        for (int32_t at = iterator->next(); at != icu::BreakIterator::DONE; at = iterator->next()) {
            if (++seen == count) {
                end = static_cast<std::size_t>(at);
                break;
            }
        }
    }
    iterator.reset();
    utext_close(utext);
    return text.substr(0, end);
}

std::string trimmingWhitespaceAndNewlines(std::string_view text) {
    std::size_t first = text.size();
    std::size_t last = 0;
    forEachCodePoint(text, [&](std::size_t start, std::size_t end, bool whitespace) {
        if (whitespace) return;
        if (first == text.size()) first = start;
        last = end;
    });
    if (first == text.size()) return {};
    return std::string(text.substr(first, last - first));
}

std::string precomposedStringWithCanonicalMapping(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return std::string(text);
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    const icu::UnicodeString composed = nfc->normalize(source, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string result;
    composed.toUTF8String(result);
    return result;
}

std::vector<std::string_view> componentsSeparatedByWhitespaceAndNewlines(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t pieceStart = 0;
    forEachCodePoint(text, [&](std::size_t start, std::size_t end, bool whitespace) {
        if (!whitespace) return;
        pieces.push_back(text.substr(pieceStart, start - pieceStart));
        pieceStart = end;
    });
    pieces.push_back(text.substr(pieceStart));
    return pieces;
}

}  // namespace platform
