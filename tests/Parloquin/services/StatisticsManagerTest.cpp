#include "Parloquin/services/StatisticsManager.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/Parloquin/services/StoreFixtures.h"

namespace {

using parloquin::SessionStatistics;
using parloquin::StatisticsManager;
using storetest::ManualClock;
using storetest::Store;

platform::Date utc(const char* text) {
    std::tm tm{};
    strptime(text, "%Y-%m-%dT%H:%M:%S", &tm);
    return platform::Date::fromTimeIntervalSince1970(static_cast<double>(timegm(&tm)));
}

platform::Data bytes(const std::string& text) { return platform::Data(text.begin(), text.end()); }

std::string compact(const SessionStatistics& statistics) {
    return statistics.encode(parloquin::json_coding::DateEncoding::secondsSinceReferenceDate).dump();
}

// Four dictations: German, English, German and one without language or timings.
void recordSampleSession(StatisticsManager& manager, ManualClock& clock) {
    clock.set(utc("2026-12-06T09:15:00"));
    manager.recordSession(200, 40, "de", 0.1, 3.0, 30.0);
    clock.set(utc("2026-12-07T10:00:00"));
    manager.recordSession(600, 120, "en", 0.05, 4.5, 90.0);
    clock.set(utc("2026-12-08T01:52:13"));
    manager.recordSession(480, 100, "de", 0.02, 1.31, 65.5);
    manager.recordSession(30, 6, std::nullopt, std::nullopt, std::nullopt, 5.0);
}

TEST(StatisticsManagerTest, StreaksCountCalendarDaysInTheUsersTimeZone) {
    struct Stored {
        std::int64_t currentStreak;
        std::int64_t longestStreak;
        const char* lastUse;
    };
    struct Case {
        const char* name;
        const char* zone;
        std::optional<Stored> stored;
        std::vector<const char*> uses;
        std::int64_t currentStreak;
        std::int64_t longestStreak;
    };
    const std::vector<Case> cases = {
        {"the very first use", "UTC", std::nullopt, {"2026-05-01T10:00:00"}, 1, 1},
        {"twice on one day", "UTC", std::nullopt, {"2026-05-01T08:00:00", "2026-05-01T22:00:00"}, 1, 1},
        {"20:00 then 19:00 next day", "UTC", std::nullopt, {"2026-05-01T20:00:00", "2026-05-02T19:00:00"}, 1, 1},
        {"20:00 then 21:00 next day", "UTC", std::nullopt, {"2026-05-01T20:00:00", "2026-05-02T21:00:00"}, 2, 2},
        {"three days running", "UTC", std::nullopt,
         {"2026-05-01T09:00:00", "2026-05-02T09:30:00", "2026-05-03T10:00:00"}, 3, 3},
        {"a gap of two days restarts", "UTC", std::nullopt,
         {"2026-05-01T09:00:00", "2026-05-02T09:30:00", "2026-05-03T10:00:00", "2026-05-05T10:00:00"}, 1, 3},
        {"the longest stays while a new run grows", "UTC", std::nullopt,
         {"2026-05-01T09:00:00", "2026-05-02T09:30:00", "2026-05-03T10:00:00", "2026-05-06T10:00:00",
          "2026-05-07T11:00:00"},
         2, 3},
        {"the clock went back a day", "UTC", std::nullopt, {"2026-05-03T10:00:00", "2026-05-02T10:00:00"}, 1, 1},
        {"23 hours over Berlin's spring change are a day there", "Europe/Berlin", std::nullopt,
         {"2026-03-28T11:00:00", "2026-03-29T10:00:00"}, 2, 2},
        {"the same 23 hours are no day in UTC", "UTC", std::nullopt,
         {"2026-03-28T11:00:00", "2026-03-29T10:00:00"}, 1, 1},
        {"late evening in New York is the next day in UTC", "America/New_York", std::nullopt,
         {"2026-05-01T23:00:00", "2026-05-02T23:30:00"}, 2, 2},
        {"a stored longest below the current is lifted", "UTC", Stored{4, 2, "2026-05-01T09:00:00"},
         {"2026-05-01T18:00:00"}, 4, 4},
        {"a stored run goes on the next day", "UTC", Stored{4, 6, "2026-05-01T09:00:00"},
         {"2026-05-02T18:00:00"}, 5, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Store store;
        if (c.stored) {
            SessionStatistics stored;
            stored.currentStreak = c.stored->currentStreak;
            stored.longestStreak = c.stored->longestStreak;
            stored.firstUse = stored.lastUse = utc(c.stored->lastUse);
            ASSERT_TRUE(store.defaults().setData("SessionStatistics", bytes(compact(stored))));
        }
        const auto clock = std::make_shared<ManualClock>();
        StatisticsManager manager(store.defaults(), clock, platform::Calendar(platform::TimeZone(c.zone)));
        for (const char* use : c.uses) {
            clock->set(utc(use));
            manager.recordSession(10, 2, std::nullopt, std::nullopt, std::nullopt, 1.0);
        }
        EXPECT_EQ(manager.statistics().currentStreak, c.currentStreak);
        EXPECT_EQ(manager.statistics().longestStreak, c.longestStreak);
    }
}

TEST(StatisticsManagerTest, ASessionAddsToTheTotalsAndIsStored) {
    Store store;
    const auto clock = std::make_shared<ManualClock>();
    StatisticsManager manager(store.defaults(), clock, platform::Calendar(platform::TimeZone::utc()));
    int changes = 0;
    QObject::connect(&manager, &StatisticsManager::statisticsChanged, [&] { ++changes; });
    recordSampleSession(manager, *clock);
    EXPECT_EQ(changes, 4);

    const SessionStatistics& s = manager.statistics();
    EXPECT_EQ(s.totalRecordings, 4);
    EXPECT_DOUBLE_EQ(s.totalDuration, 190.5);
    EXPECT_EQ(s.totalCharacters, 1310);
    EXPECT_EQ(s.totalWords, 266);
    EXPECT_DOUBLE_EQ(s.totalInferenceTime, 8.81);
    EXPECT_EQ(s.fastestInference, 1.31);
    EXPECT_EQ(s.slowestInference, 4.5);
    EXPECT_DOUBLE_EQ(s.totalRTF, 0.17);
    EXPECT_EQ(s.rtfCount, 3);
    EXPECT_EQ(s.languageCount, (std::map<std::string, std::int64_t>{{"de", 2}, {"en", 1}}));
    EXPECT_EQ(s.firstUse, utc("2026-12-06T09:15:00"));
    EXPECT_EQ(s.lastUse, utc("2026-12-08T01:52:13"));
    EXPECT_EQ(s.sessionsCount, 0);

    manager.flush();
    store.open();
    EXPECT_EQ(StatisticsManager(store.defaults(), clock).statistics(), s);
}

// Decoding takes any 64-bit count; the next recording holds the counts at their largest value
// instead of wrapping them around (before: signed overflow, and negative totals).
TEST(StatisticsManagerTest, CountsAtTheirLargestValueStayThere) {
    Store store;
    const std::string max = std::to_string(std::numeric_limits<std::int64_t>::max());
    store.defaults().setData("SessionStatistics",
                             bytes(R"({"totalRecordings":)" + max + R"(,"totalDuration":1.0,"totalCharacters":)" + max +
                                   R"(,"totalWords":)" + max + R"(,"totalInferenceTime":1.0,"totalRTF":1.0,"rtfCount":)" +
                                   max + R"(,"languageCount":{"de":)" + max + R"(},"sessionsCount":0,"currentStreak":)" +
                                   max + R"(,"longestStreak":)" + max + R"(,"lastUse":0.0})"));
    const auto clock = std::make_shared<ManualClock>();
    clock->set(platform::Date::fromTimeIntervalSince1970(platform::Date::timeIntervalBetween1970AndReferenceDate + 86400));
    StatisticsManager manager(store.defaults(), clock, platform::Calendar(platform::TimeZone::utc()));
    manager.recordSession(10, 2, "de", 0.5, 1.0, 3.0);
    const SessionStatistics& s = manager.statistics();
    const auto largest = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(s.totalRecordings, largest);
    EXPECT_EQ(s.totalCharacters, largest);
    EXPECT_EQ(s.totalWords, largest);
    EXPECT_EQ(s.rtfCount, largest);
    EXPECT_EQ(s.languageCount.at("de"), largest);
    EXPECT_EQ(s.currentStreak, largest);  // the next day: the streak goes on
    EXPECT_EQ(s.longestStreak, largest);
    EXPECT_EQ(s.languagePercentages().front().second, 100.0);
}

TEST(StatisticsManagerTest, DerivedFigures) {
    struct Case {
        const char* name;
        std::int64_t recordings;
        double duration;
        std::int64_t words;
        double wordsPerMinute;
        double typingTimeSaved;
        double productivityBoost;
        double averageWords;
    };
    const std::vector<Case> cases = {
        {"nothing recorded", 0, 0, 0, 0, 0, 0, 0},
        {"30 s with 40 words", 1, 30, 40, 80, 30, 50, 40},
        {"speaking slower than typing", 2, 120, 40, 20, -60, -100, 20},
        {"audio without words", 1, 10, 0, 0, -10, 0, 0},
    };
    for (const auto& c : cases) {
        SessionStatistics s;
        s.totalRecordings = c.recordings;
        s.totalDuration = c.duration;
        s.totalWords = c.words;
        EXPECT_DOUBLE_EQ(s.wordsPerMinute(), c.wordsPerMinute) << c.name;
        EXPECT_DOUBLE_EQ(s.typingTimeSaved(), c.typingTimeSaved) << c.name;
        EXPECT_DOUBLE_EQ(s.productivityBoost(), c.productivityBoost) << c.name;
        EXPECT_DOUBLE_EQ(s.averageWords(), c.averageWords) << c.name;
    }
}

TEST(StatisticsManagerTest, LanguagesAreSharesOfAllRecordingsHighestFirst) {
    SessionStatistics s;
    EXPECT_TRUE(s.languagePercentages().empty());
    s.totalRecordings = 8;
    s.languageCount = {{"fr", 1}, {"de", 4}, {"en", 1}};
    const std::vector<std::pair<std::string, double>> expected = {{"de", 50.0}, {"en", 12.5}, {"fr", 12.5}};
    EXPECT_EQ(s.languagePercentages(), expected);  // 75 % in all: two recordings had no language
}

TEST(StatisticsManagerTest, DaysSinceFirstUse) {
    const platform::Calendar calendar(platform::TimeZone::utc());
    SessionStatistics s;
    EXPECT_EQ(s.daysSinceFirstUse(utc("2026-05-01T10:00:00"), calendar), 0);
    s.firstUse = utc("2026-05-01T10:00:00");
    EXPECT_EQ(s.daysSinceFirstUse(utc("2026-05-04T09:59:59"), calendar), 2);
    EXPECT_EQ(s.daysSinceFirstUse(utc("2026-05-04T10:00:00"), calendar), 3);
    EXPECT_EQ(s.daysSinceFirstUse(utc("2026-04-01T10:00:00"), calendar), 0);
}

TEST(StatisticsManagerTest, DurationsAsWholeSecondsMinutesAndHours) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "0s"},          {0.99, "0s"},         {59.9, "59s"},  {60, "1m 0s"},
        {3599.5, "59m 59s"}, {3725, "1h 2m 5s"},   {360000, "100h 0m 0s"},
        {-65.5, "-1m 5s"},  {std::numeric_limits<double>::quiet_NaN(), "0s"},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(StatisticsManager::formatDuration(seconds), expected) << seconds;
    }
}

TEST(StatisticsManagerTest, GoldenReportsAndExportInAnyLocale) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        storetest::ScopedLocale scoped(locale);
        Store store;
        const auto clock = std::make_shared<ManualClock>(utc("2026-12-08T01:52:13"));
        StatisticsManager manager(store.defaults(), clock, platform::Calendar(platform::TimeZone::utc()));
        storetest::expectGolden("report-fresh.txt", manager.generateReport());

        recordSampleSession(manager, *clock);
        clock->set(utc("2026-12-08T02:00:00"));
        storetest::expectGolden("report-sample.txt", manager.generateReport());
        const auto json = manager.exportJSON();
        ASSERT_TRUE(json);
        storetest::expectGolden("statistics.json", *json);

        manager.flush();
        store.open();
        EXPECT_EQ(StatisticsManager(store.defaults(), clock).statistics(), manager.statistics());
    }
}

TEST(StatisticsManagerTest, AResetStoresTheDefaultsWithoutTheOptionalKeys) {
    Store store;
    const auto clock = std::make_shared<ManualClock>();
    StatisticsManager manager(store.defaults(), clock);
    recordSampleSession(manager, *clock);
    manager.resetStatistics();
    EXPECT_EQ(manager.statistics(), SessionStatistics{});

    manager.flush();
    const auto stored = store.defaults().dataForKey("SessionStatistics");
    ASSERT_TRUE(stored);
    const auto json = nlohmann::json::parse(stored->begin(), stored->end());
    std::set<std::string> keys;
    for (const auto& [key, value] : json.items()) keys.insert(key);
    const std::set<std::string> required = {
        "totalRecordings", "totalDuration", "totalCharacters", "totalWords", "totalInferenceTime", "totalRTF",
        "rtfCount",        "languageCount", "sessionsCount",   "currentStreak", "longestStreak"};
    EXPECT_EQ(keys, required);
}

// A member that does not decode costs only itself: it starts from its default, the rest is kept,
// and the stored bytes are backed up first. A value that is no object at all starts afresh.
TEST(StatisticsManagerTest, StoredStatisticsDecodeAsFarAsTheyCanAndAreBackedUpWhereTheyCannot) {
    const std::string complete = storetest::readFixture("stored-statistics.json");
    const auto changed = [&](const std::function<void(nlohmann::json&)>& change) {
        auto json = nlohmann::json::parse(complete);
        change(json);
        return json.dump();
    };
    using Languages = std::map<std::string, std::int64_t>;
    const Languages both{{"de", 2}, {"fr", 1}};
    struct Case {
        const char* name;
        std::string stored;
        std::int64_t recordings;  // what totalRecordings reads
        Languages languages;
        bool backedUp;
    };
    const std::vector<Case> cases = {
        {"the known layout", complete, 3, both, false},
        {"without the optional keys", changed([](nlohmann::json& j) {
             for (const char* key : {"fastestInference", "slowestInference", "firstUse", "lastUse"}) j.erase(key);
         }), 3, both, false},
        {"without sessionsCount", changed([](nlohmann::json& j) { j.erase("sessionsCount"); }), 3, both, true},
        {"without languageCount", changed([](nlohmann::json& j) { j.erase("languageCount"); }), 3, {}, true},
        {"one language count that is text", changed([](nlohmann::json& j) { j["languageCount"]["fr"] = "1"; }), 3,
         {{"de", 2}}, true},
        {"a total that is text", changed([](nlohmann::json& j) { j["totalRecordings"] = "3"; }), 0, both, true},
        {"a list", "[]", 0, {}, true},
        {"not JSON", "{", 0, {}, true},
    };
    const auto clock = std::make_shared<ManualClock>(platform::Date::fromTimeIntervalSince1970(1796694733.5));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Store store;
        ASSERT_TRUE(store.defaults().setData("SessionStatistics", bytes(c.stored)));
        StatisticsManager manager(store.defaults(), clock);
        EXPECT_EQ(manager.statistics().totalRecordings, c.recordings);
        EXPECT_EQ(manager.statistics().languageCount, c.languages);
        const auto backup = store.defaults().dataForKey("corrupted_statistics_1796694733.5");
        EXPECT_EQ(backup, c.backedUp ? std::optional(bytes(c.stored)) : std::nullopt);
        EXPECT_EQ(store.defaults().dataForKey("SessionStatistics"), bytes(c.stored));  // until the next save
    }
}

}  // namespace
