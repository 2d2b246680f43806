#include "Platform/text/NumberFormatter.h"

#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

namespace platform {

struct NumberFormatter::Rules {
    std::unique_ptr<icu::RuleBasedNumberFormat> format;
};

NumberFormatter::NumberFormatter(std::string_view localeIdentifier, Style style) : rules_(std::make_unique<Rules>()) {
    const icu::Locale locale(std::string(localeIdentifier).c_str());
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::RuleBasedNumberFormat>(icu::URBNF_SPELLOUT, locale, status);
    if (U_FAILURE(status)) return;
    if (style == Style::spellOutOrdinal) {
        format->setDefaultRuleSet(icu::UnicodeString(u"%spellout-ordinal"), status);
        if (U_FAILURE(status)) return;
    }
    rules_->format = std::move(format);
}

NumberFormatter::~NumberFormatter() = default;

std::optional<std::string> NumberFormatter::string(std::int64_t value) const {
    if (!rules_->format) return std::nullopt;
    icu::UnicodeString words;
    {
        // Formatting is not guaranteed to be safe from several threads on one instance.
        const std::lock_guard<std::mutex> guard(lock_);
        rules_->format->format(static_cast<int64_t>(value), words);
    }
    std::string result;
    words.toUTF8String(result);
    // Past the largest number the rules have words for, ICU falls back to digits.
    if (result.empty() || result.find_first_of("0123456789") != std::string::npos) return std::nullopt;
    return result;
}

}  // namespace platform
