#pragma once

#include <cstdint>
#include <optional>

#include "Platform/system/Date.h"
#include "Platform/system/TimeZone.h"

namespace platform {

// The Gregorian calendar as it runs in one time zone.
class Calendar {
public:
    explicit Calendar(TimeZone timeZone) : timeZone_(std::move(timeZone)) {}
    // The calendar of this machine's time zone.
    static Calendar current() { return Calendar(TimeZone::current()); }

    const TimeZone& timeZone() const { return timeZone_; }

    // Whole days from one moment to another: a day is complete once the same clock time is
    // reached again on a following day, so 20:00 to 19:00 next day is 0 and to 21:00 next
    // day is 1; across a change to or from summer time a day may last 23 or 25 hours.
    // Negative when `to` lies before `from`. Nothing when the calendar cannot count them.
    std::optional<std::int64_t> wholeDays(Date from, Date to) const;

private:
    TimeZone timeZone_;
};

}  // namespace platform
