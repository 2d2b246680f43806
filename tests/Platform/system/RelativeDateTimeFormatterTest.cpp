#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "Platform/system/Date.h"
#include "Platform/system/RelativeDateTimeFormatter.h"
#include "Platform/system/TimeZone.h"

namespace {

using platform::Date;

TEST(RelativeDateTimeFormatterTest, NamesTheLargestUnitInGermanWords) {
    // 2026-12-08 00:10:00 in Berlin (23:10 UTC the day before).
    const Date now = Date::fromTimeIntervalSince1970(1796598600.0);
    const platform::RelativeDateTimeFormatter formatter("de_DE", platform::TimeZone("Europe/Berlin"));
    struct Case {
        double offset;  // seconds from now
        std::string text;
    };
    const double minute = 60, hour = 3600, day = 86400;
    const std::vector<Case> cases = {
        {0, "in 0 Sekunden"},
        {-1, "vor 1 Sekunde"},
        {-59.9, "vor 59 Sekunden"},
        {-90, "vor 1 Minute"},
        {-5 * minute, "vor 5 Minuten"},
        {-40 * minute, "vor 40 Minuten"},  // across midnight, still minutes
        {-3 * hour, "vor 3 Stunden"},
        {-day, "vor 1 Tag"},
        {-6 * day, "vor 6 Tagen"},
        {-10 * day, "vor 1 Woche"},
        {-40 * day, "vor 1 Monat"},
        {-400 * day, "vor 1 Jahr"},
        {2 * hour, "in 2 Stunden"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatter.localizedString(now.addingTimeInterval(c.offset), now), c.text) << c.offset;

    EXPECT_EQ(formatter.localizedString(Date(std::numeric_limits<double>::quiet_NaN()), now), "");
    EXPECT_EQ(formatter.localizedString(now, Date(std::numeric_limits<double>::infinity())), "");
}

}  // namespace
