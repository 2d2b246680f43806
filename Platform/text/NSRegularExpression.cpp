#include "Platform/text/NSRegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "Platform/system/NSError.h"

namespace platform {

struct NSRegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

NSRegularExpression::NSRegularExpression(std::string_view pattern, unsigned options)
    : pattern_(pattern), compiled_(std::make_unique<Compiled>()) {
    uint32_t flags = 0;
    if (options & caseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), pattern.size()));
    compiled_->pattern.reset(icu::RegexPattern::compile(source, flags, where, status));
    if (U_FAILURE(status) || !compiled_->pattern) {
        throw NSError("NSCocoaErrorDomain", 2048,
                      "The value “" + pattern_ + "” is invalid (" + u_errorName(status) + " at offset " +
                          std::to_string(where.offset) + ").");
    }
}

NSRegularExpression::~NSRegularExpression() = default;
NSRegularExpression::NSRegularExpression(NSRegularExpression&&) noexcept = default;
NSRegularExpression& NSRegularExpression::operator=(NSRegularExpression&&) noexcept = default;

std::string NSRegularExpression::stringByReplacingMatches(std::string_view text,
                                                          std::string_view replacementTemplate) const {
    const icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
    const icu::UnicodeString replacement =
        icu::UnicodeString::fromUTF8(icu::StringPiece(replacementTemplate.data(), replacementTemplate.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(input, status));
    if (U_FAILURE(status)) return std::string(text);
    const icu::UnicodeString output = matcher->replaceAll(replacement, status);
    if (U_FAILURE(status)) return std::string(text);
    std::string result;
    output.toUTF8String(result);
    return result;
}

}  // namespace platform
