#include "Platform/text/NLLanguageRecognizer.h"

#include <climits>
#include <cstdio>  // the CLD2 header uses FILE without including it

#include <cld2/public/encodings.h>
#include <cld2/public/compact_lang_det.h>

namespace platform {

void NLLanguageRecognizer::processString(std::string_view text) {
    dominantLanguage_.reset();
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return;

    const CLD2::CLDHints hints{nullptr, nullptr, CLD2::UNKNOWN_ENCODING, CLD2::UNKNOWN_LANGUAGE};
    CLD2::Language top3[3];
    int percent3[3];
    double scores3[3];
    int textBytes = 0;
    bool reliable = false;
    int validPrefix = 0;
    // This variant answers UNKNOWN_LANGUAGE for text it cannot place instead of guessing English,
    // and checks the UTF-8 first.
    const CLD2::Language language = CLD2::ExtDetectLanguageSummaryCheckUTF8(
        text.data(), static_cast<int>(text.size()), true, &hints, 0, top3, percent3, scores3, nullptr, &textBytes,
        &reliable, &validPrefix);
    if (language == CLD2::UNKNOWN_LANGUAGE) return;
    const char* code = CLD2::LanguageCode(language);
    if (code == nullptr || *code == '\0') return;
    dominantLanguage_ = code;
}

}  // namespace platform
