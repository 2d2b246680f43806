#include "Platform/system/RelativeDateTimeFormatter.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>
#include <utility>

namespace platform {

RelativeDateTimeFormatter::RelativeDateTimeFormatter(std::string localeIdentifier, TimeZone timeZone)
    : localeIdentifier_(std::move(localeIdentifier)), timeZone_(std::move(timeZone)) {}

std::string RelativeDateTimeFormatter::localizedString(Date date, Date referenceDate) const {
    const double when = date.timeIntervalSince1970() * 1000.0;
    const double reference = referenceDate.timeIntervalSince1970() * 1000.0;
    if (!std::isfinite(when) || !std::isfinite(reference)) return {};

    const icu::Locale locale(localeIdentifier_.c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone_.identifier())), locale, status));
    if (U_FAILURE(status) || !calendar) return {};
    calendar->setTime(reference, status);

    // Walk from the reference toward the moment, largest unit first; the first unit that is not
    // zero names the distance.
    static constexpr std::pair<UCalendarDateFields, URelativeDateTimeUnit> kUnits[] = {
        {UCAL_YEAR, UDAT_REL_UNIT_YEAR},         {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
        {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK}, {UCAL_DATE, UDAT_REL_UNIT_DAY},
        {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},  {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE},
        {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
    };
    std::int32_t amount = 0;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    for (const auto& [field, relativeUnit] : kUnits) {
        amount = calendar->fieldDifference(when, field, status);
        if (U_FAILURE(status)) return {};
        unit = relativeUnit;
        if (amount != 0) break;
    }

    icu::RelativeDateTimeFormatter formatter(locale, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status)) return {};
    icu::UnicodeString text;
    formatter.formatNumeric(double(amount), unit, text, status);
    if (U_FAILURE(status)) return {};
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace platform
