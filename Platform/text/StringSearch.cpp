#include "Platform/text/StringSearch.h"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace platform {
namespace {

icu::UnicodeString decomposed(std::string_view text) {
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) return source;
    icu::UnicodeString result = nfd->normalize(source, status);
    return U_FAILURE(status) ? source : result;
}

}  // namespace

std::string lowercased(std::string_view text) {
    icu::UnicodeString value = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    value.toLower(icu::Locale::getRoot());
    std::string result;
    value.toUTF8String(result);
    return result;
}

bool containsCanonically(std::string_view text, std::string_view query) {
    if (query.empty()) return true;
    const icu::UnicodeString haystack = decomposed(text);
    const icu::UnicodeString needle = decomposed(query);
    for (int32_t start = haystack.indexOf(needle); start >= 0; start = haystack.indexOf(needle, start + 1)) {
        const int32_t end = start + needle.length();
        // A combining mark right after the match belongs to the matched text's last character.
        if (end >= haystack.length() || u_getCombiningClass(haystack.char32At(end)) == 0) return true;
    }
    return false;
}

}  // namespace platform
