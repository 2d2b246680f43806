#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Platform/system/Calendar.h"
#include "Platform/system/Date.h"
#include "Platform/system/DateFormatter.h"
#include "Platform/system/ISO8601DateFormatter.h"
#include "Platform/system/TimeZone.h"
#include "Platform/system/UUID.h"

namespace {

using platform::Date;

TEST(DateTest, TextsOfAMomentInUTC) {
    struct Case {
        double sinceReferenceDate;
        std::optional<std::string> iso;
        std::string description;
    };
    const std::vector<Case> cases = {
        {0, "2001-01-01T00:00:00Z", "2001-01-01 00:00:00 +0000"},
        {818387533.0, "2026-12-08T01:52:13Z", "2026-12-08 01:52:13 +0000"},
        {818387533.999, "2026-12-08T01:52:13Z", "2026-12-08 01:52:13 +0000"},  // the fraction is dropped
        {-0.25, "2000-12-31T23:59:59Z", "2000-12-31 23:59:59 +0000"},          // toward the past
        {-978307200.0, "1970-01-01T00:00:00Z", "1970-01-01 00:00:00 +0000"},
        {730900800.0, "2024-02-29T12:00:00Z", "2024-02-29 12:00:00 +0000"},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt, ""},
        {std::numeric_limits<double>::infinity(), std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const Date date(c.sinceReferenceDate);
        EXPECT_EQ(platform::ISO8601DateFormatter::string(date), c.iso) << c.sinceReferenceDate;
        EXPECT_EQ(date.description(), c.description) << c.sinceReferenceDate;
    }
}

TEST(DateFormatterTest, ATemplateTakesTheLocalesOrderAndSeparators) {
    const platform::Date date(818387533.0);  // 2026-12-08T01:52:13Z
    const platform::TimeZone berlin("Europe/Berlin");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"de_DE", "8. Dez. 2026"}, {"en_US", "Dec 8, 2026"}, {"fr_FR", "8 déc. 2026"}};
    for (const auto& [locale, text] : cases)
        EXPECT_EQ(platform::DateFormatter::fromTemplate(locale, "yMMMd", berlin).string(date), text) << locale;
    EXPECT_EQ(platform::DateFormatter::fromTemplate("de_DE", "yMMMd", berlin).string(platform::Date(NAN)), std::nullopt);
}

TEST(UUIDTest, CanonicalTextIsUpperCaseAndReadsInEitherCase) {
    const auto uuid = platform::UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(uuid);
    EXPECT_EQ(uuid->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(platform::UUID::fromString(uuid->uuidString()), uuid);

    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",
                            "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "E621E1F8+C36C-495A-93FC-0C247A3E6E5F"}) {
        EXPECT_FALSE(platform::UUID::fromString(bad)) << bad;
    }
}

TEST(UUIDTest, FreshIdentifiersAreRandomVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const platform::UUID uuid;
        const std::string text = uuid.uuidString();
        EXPECT_EQ(text[14], '4') << text;
        EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(CalendarTest, WholeDaysFollowTheClockTimeOfTheZone) {
    struct Case {
        const char* name;
        const char* zone;
        const char* fromUTC;  // "YYYY-MM-DDTHH:MM:SS"
        const char* toUTC;
        std::optional<std::int64_t> days;
    };
    const std::vector<Case> cases = {
        {"same moment", "UTC", "2026-05-01T08:00:00", "2026-05-01T08:00:00", 0},
        {"20:00 to 19:00 next day", "UTC", "2026-05-01T20:00:00", "2026-05-02T19:00:00", 0},
        {"20:00 to 21:00 next day", "UTC", "2026-05-01T20:00:00", "2026-05-02T21:00:00", 1},
        {"one second short of two days", "UTC", "2026-05-01T20:00:00", "2026-05-03T19:59:59", 1},
        {"backwards", "UTC", "2026-05-03T20:00:00", "2026-05-01T20:00:00", -2},
        // Berlin springs forward on 2026-03-29: 23 hours make a day there, not in UTC.
        {"23 hours over the spring change, Berlin", "Europe/Berlin", "2026-03-28T11:00:00", "2026-03-29T10:00:00", 1},
        {"23 hours over the spring change, UTC", "UTC", "2026-03-28T11:00:00", "2026-03-29T10:00:00", 0},
        // Berlin falls back on 2026-10-25: 24.5 hours are not yet a day there.
        {"24.5 hours over the autumn change, Berlin", "Europe/Berlin", "2026-10-24T10:00:00", "2026-10-25T10:30:00", 0},
        {"24.5 hours over the autumn change, UTC", "UTC", "2026-10-24T10:00:00", "2026-10-25T10:30:00", 1},
    };
    const auto parse = [](const char* text) {
        std::tm tm{};
        strptime(text, "%Y-%m-%dT%H:%M:%S", &tm);
        return Date::fromTimeIntervalSince1970(static_cast<double>(timegm(&tm)));
    };
    for (const auto& c : cases) {
        const platform::Calendar calendar{platform::TimeZone(c.zone)};
        EXPECT_EQ(calendar.wholeDays(parse(c.fromUTC), parse(c.toUTC)), c.days) << c.name;
    }
    const platform::Calendar utc{platform::TimeZone::utc()};
    EXPECT_FALSE(utc.wholeDays(Date(0), Date(std::numeric_limits<double>::quiet_NaN())));
}

TEST(TimeZoneTest, UnknownZonesAreRefused) {
    EXPECT_THROW(platform::TimeZone("Nowhere/Atlantis"), std::invalid_argument);
    EXPECT_EQ(platform::TimeZone("Europe/Berlin").identifier(), "Europe/Berlin");
}

}  // namespace
