#include "Platform/text/NLTokenizer.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <memory>

namespace platform {

std::vector<NSRange> NLTokenizer::tokens(std::string_view text) const {
    std::vector<NSRange> ranges;
    if (text.empty() || unit_ != Unit::sentence) return ranges;
    // "ss=standard" turns on the abbreviation list that keeps "Mr. Smith" in one sentence.
    const std::string localeId = (language_.empty() ? std::string("und") : language_) + "@ss=standard";
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createSentenceInstance(icu::Locale(localeId.c_str()), status));
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        iterator.reset(icu::BreakIterator::createSentenceInstance(icu::Locale::getRoot(), status));
    }
    if (U_FAILURE(status) || !iterator) return {NSRange{0, text.size()}};
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    iterator->setText(utext, status);
    if (U_SUCCESS(status)) {
        int32_t start = iterator->first();
        for (int32_t end = iterator->next(); end != icu::BreakIterator::DONE; start = end, end = iterator->next()) {
            ranges.push_back(NSRange{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)});
        }
    } else {
        ranges.push_back(NSRange{0, text.size()});
    }
    iterator.reset();
    utext_close(utext);
    return ranges;
}

}  // namespace platform
