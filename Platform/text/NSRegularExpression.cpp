#include "Platform/text/NSRegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

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

std::vector<NSTextCheckingResult> NSRegularExpression::matches(std::string_view text) const {
    std::vector<NSTextCheckingResult> found;
    UErrorCode status = U_ZERO_ERROR;
    // Matching over the UTF-8 bytes themselves makes every index a byte offset.
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    if (U_FAILURE(status)) return found;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(status));
    if (U_SUCCESS(status)) {
        matcher->reset(utext);
        const int32_t groups = matcher->groupCount();
        while (matcher->find(status) && U_SUCCESS(status)) {
            NSTextCheckingResult result;
            result.ranges.reserve(static_cast<std::size_t>(groups) + 1);
            for (int32_t group = 0; group <= groups; ++group) {
                const int64_t start = matcher->start64(group, status);
                const int64_t end = matcher->end64(group, status);
                if (U_FAILURE(status) || start < 0) {
                    status = U_ZERO_ERROR;
                    result.ranges.push_back(NSRange{});
                } else {
                    result.ranges.push_back(
                        NSRange{static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)});
                }
            }
            found.push_back(std::move(result));
        }
    }
    matcher.reset();
    utext_close(utext);
    return found;
}

std::string NSRegularExpression::escapedPattern(std::string_view text) {
    static constexpr std::string_view special = "\\^$.|?*+()[]{}-/#&~\"' \t\n\r";
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (special.find(c) != std::string_view::npos) escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

std::string NSRegularExpression::escapedTemplate(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() * 2);
    for (const char c : text) {
        if (c == '\\' || c == '$') escaped.push_back('\\');
        escaped.push_back(c);
    }
    return escaped;
}

}  // namespace platform
