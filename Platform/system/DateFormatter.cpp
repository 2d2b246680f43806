#include "Platform/system/DateFormatter.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

namespace platform {
namespace {

icu::DateFormat::EStyle icuStyle(DateFormatter::Style style) {
    switch (style) {
        case DateFormatter::Style::noStyle: return icu::DateFormat::kNone;
        case DateFormatter::Style::shortStyle: return icu::DateFormat::kShort;
        case DateFormatter::Style::mediumStyle: return icu::DateFormat::kMedium;
        case DateFormatter::Style::longStyle: return icu::DateFormat::kLong;
        case DateFormatter::Style::fullStyle: return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}

}  // namespace

DateFormatter::DateFormatter(std::string localeIdentifier, Style dateStyle, Style timeStyle, TimeZone timeZone)
    : localeIdentifier_(std::move(localeIdentifier)),
      dateStyle_(dateStyle),
      timeStyle_(timeStyle),
      timeZone_(std::move(timeZone)) {}

DateFormatter DateFormatter::fromTemplate(std::string localeIdentifier, std::string dateTemplate, TimeZone timeZone) {
    DateFormatter formatter(std::move(localeIdentifier), Style::noStyle, Style::noStyle, std::move(timeZone));
    formatter.template_ = std::move(dateTemplate);
    return formatter;
}

std::optional<std::string> DateFormatter::string(Date date) const {
    const double milliseconds = date.timeIntervalSince1970() * 1000.0;
    if (!std::isfinite(milliseconds)) return std::nullopt;
    const icu::Locale locale(localeIdentifier_.c_str());
    std::unique_ptr<icu::DateFormat> format;
    if (!template_.empty()) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::DateTimePatternGenerator> generator(
            icu::DateTimePatternGenerator::createInstance(locale, status));
        if (U_FAILURE(status)) return std::nullopt;
        const icu::UnicodeString pattern =
            generator->getBestPattern(icu::UnicodeString::fromUTF8(template_), status);
        if (U_FAILURE(status)) return std::nullopt;
        format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
        if (U_FAILURE(status)) return std::nullopt;
    } else {
        if (dateStyle_ == Style::noStyle && timeStyle_ == Style::noStyle) return std::string();
        format.reset(icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle_), icuStyle(timeStyle_), locale));
    }
    if (!format) return std::nullopt;
    format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone_.identifier())));
    icu::UnicodeString text;
    format->format(milliseconds, text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace platform
