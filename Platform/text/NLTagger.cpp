#include "Platform/text/NLTagger.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <memory>

#include "Platform/text/UnicodeScalar.h"

namespace platform {
namespace {

NLTagger::Tag classify(int32_t ruleStatus, std::string_view token) {
    if (ruleStatus >= UBRK_WORD_NUMBER && ruleStatus < UBRK_WORD_NUMBER_LIMIT) return NLTagger::Tag::number;
    if (ruleStatus >= UBRK_WORD_LETTER && ruleStatus < UBRK_WORD_IDEO_LIMIT) return NLTagger::Tag::word;
    std::size_t position = 0;
    const char32_t first = nextScalar(token, position);
    if (isWhiteSpaceScalar(first)) return NLTagger::Tag::whitespace;
    if (isAlphabeticScalar(first)) return NLTagger::Tag::word;
    if (hasNumericType(first)) return NLTagger::Tag::number;
    return NLTagger::Tag::punctuation;
}

}  // namespace

std::vector<NLTagger::TaggedToken> NLTagger::lexicalClasses(std::string_view text) {
    std::vector<TaggedToken> tokens;
    if (text.empty()) return tokens;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createWordInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return tokens;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    iterator->setText(utext, status);
    if (U_SUCCESS(status)) {
        int32_t start = iterator->first();
        for (int32_t end = iterator->next(); end != icu::BreakIterator::DONE; start = end, end = iterator->next()) {
            const NSRange range{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)};
            tokens.push_back(TaggedToken{range, classify(iterator->getRuleStatus(), range.in(text))});
        }
    }
    iterator.reset();
    utext_close(utext);
    return tokens;
}

}  // namespace platform
