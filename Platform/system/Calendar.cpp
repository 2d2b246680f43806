#include "Platform/system/Calendar.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

namespace platform {
namespace {

// ICU counts milliseconds since 1970.
double icuMilliseconds(Date date) { return date.timeIntervalSince1970() * 1000.0; }

}  // namespace

std::optional<std::int64_t> Calendar::wholeDays(Date from, Date to) const {
    const double start = icuMilliseconds(from);
    const double end = icuMilliseconds(to);
    // ICU's calendar covers about ±5.8 million years; stay well inside it.
    constexpr double kLimit = 1.0e17;
    if (!std::isfinite(start) || !std::isfinite(end) || std::fabs(start) > kLimit || std::fabs(end) > kLimit) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar calendar(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZone_.identifier())), status);
    if (U_FAILURE(status)) return std::nullopt;
    calendar.setTime(start, status);
    const std::int32_t days = calendar.fieldDifference(end, UCAL_DATE, status);
    if (U_FAILURE(status)) return std::nullopt;
    return days;
}

}  // namespace platform
