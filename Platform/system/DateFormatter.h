#pragma once

#include <optional>
#include <string>

#include "Platform/system/Date.h"
#include "Platform/system/TimeZone.h"

namespace platform {

// Dates as people of a locale write them, by date and time style ("8. Dezember 2026 um 01:52"
// for de_DE with a long date and a short time).
class DateFormatter {
public:
    enum class Style { noStyle, shortStyle, mediumStyle, longStyle, fullStyle };

    DateFormatter(std::string localeIdentifier, Style dateStyle, Style timeStyle, TimeZone timeZone);
    // The locale's own pattern for the fields of a template of pattern letters, in any order:
    // "yMMMd" gives "8. Dez. 2026" for de_DE and "Dec 8, 2026" for en_US.
    static DateFormatter fromTemplate(std::string localeIdentifier, std::string dateTemplate, TimeZone timeZone);

    // Nothing when the moment is not finite or the locale data cannot format it.
    std::optional<std::string> string(Date date) const;

private:
    std::string localeIdentifier_;
    Style dateStyle_;
    Style timeStyle_;
    TimeZone timeZone_;
    std::string template_;  // when set, in place of the two styles
};

}  // namespace platform
