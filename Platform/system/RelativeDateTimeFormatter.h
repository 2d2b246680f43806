#pragma once

#include <string>

#include "Platform/system/Date.h"
#include "Platform/system/TimeZone.h"

namespace platform {

// How far a moment lies from another, in words with full units ("vor 5 Minuten", "in 2 Tagen" for
// German). The distance is named by its largest calendar unit that is not zero (years, months,
// weeks, days, hours, minutes, seconds), counted in whole units toward the reference.
class RelativeDateTimeFormatter {
public:
    RelativeDateTimeFormatter(std::string localeIdentifier, TimeZone timeZone);

    // Empty when a moment is not finite or the locale data cannot format it.
    std::string localizedString(Date date, Date referenceDate) const;

private:
    std::string localeIdentifier_;
    TimeZone timeZone_;
};

}  // namespace platform
