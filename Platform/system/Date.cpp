#include "Platform/system/Date.h"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace platform {
namespace {

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's civil_from_days).
void civilFromDays(std::int64_t days, std::int64_t& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

Date Date::now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return fromTimeIntervalSince1970(std::chrono::duration<double>(sinceEpoch).count());
}

std::optional<Date::UTCComponents> Date::utcComponents() const {
    const double seconds = std::floor(timeIntervalSince1970());
    if (!std::isfinite(seconds) || std::fabs(seconds) > 3.0e15) return std::nullopt;
    const auto whole = static_cast<std::int64_t>(seconds);
    std::int64_t days = whole / 86400;
    std::int64_t secondOfDay = whole % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        days -= 1;
    }
    UTCComponents components{};
    civilFromDays(days, components.year, components.month, components.day);
    components.hour = static_cast<int>(secondOfDay / 3600);
    components.minute = static_cast<int>(secondOfDay % 3600 / 60);
    components.second = static_cast<int>(secondOfDay % 60);
    return components;
}

std::string Date::description() const {
    const auto c = utcComponents();
    if (!c) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d +0000", static_cast<long long>(c->year),
                  c->month, c->day, c->hour, c->minute, c->second);
    return text;
}

}  // namespace platform
