// The statistics page's figures for fixed totals: durations, counts, cards, time saved, speed,
// real-time factor and the language shares.
#include "Parloquin/views/StatisticsFigures.h"

#include <gtest/gtest.h>

#include <limits>

namespace parloquin {
namespace {

using Tint = MetricCard::Tint;

TEST(StatisticsFiguresTest, DurationsCountsAndInferenceTimes) {
    const std::vector<std::pair<double, std::string>> durations = {
        {0, "0s"},     {0.9, "0s"},        {59.9, "59s"},    {60, "1m 0s"},       {125, "2m 5s"},
        {3599, "59m 59s"}, {3725, "1h 2m"}, {-90.5, "-90s"}, {-4000, "-4000s"},
        {std::numeric_limits<double>::quiet_NaN(), "0s"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(StatisticsFigures::formatDuration(seconds), text) << seconds;

    const std::vector<std::pair<std::int64_t, std::string>> counts = {
        {-5, "-5"}, {999, "999"}, {1000, "1.0K"}, {1500, "1.5K"}, {999999, "1000.0K"}, {1000000, "1.0M"}, {2500000, "2.5M"},
    };
    for (const auto& [count, text] : counts) EXPECT_EQ(StatisticsFigures::formatCount(count), text) << count;

    // Recognition mostly takes less than a second: tenths there, not "0s".
    const std::vector<std::pair<double, std::string>> inference = {
        {0, "0s"}, {0.42, "0.4s"}, {0.04, "0.04s"}, {0.96, "1.0s"}, {1.0, "1s"}, {2.61, "2s"}, {75, "1m 15s"},
    };
    for (const auto& [seconds, text] : inference)
        EXPECT_EQ(StatisticsFigures::formatInferenceTime(seconds), text) << seconds;

    EXPECT_EQ(StatisticsFigures::streakText(0), "0 Tage");
    EXPECT_EQ(StatisticsFigures::streakText(1), "1 Tag");
    EXPECT_EQ(StatisticsFigures::streakText(2), "2 Tage");
}

TEST(StatisticsFiguresTest, TheCardsOfFixedTotals) {
    SessionStatistics s;
    s.totalRecordings = 4;
    s.totalDuration = 60;
    s.totalWords = 120;
    s.totalInferenceTime = 1.8;
    s.fastestInference = 0.25;
    s.slowestInference = 0.9;
    s.totalRTF = 0.1;
    s.rtfCount = 3;
    s.currentStreak = 1;

    EXPECT_EQ(StatisticsFigures::usageCards(s),
              (std::vector<MetricCard>{{"Gesamte Aufnahmen", "4", "mic.circle.fill", Tint::blue, {}},
                                       {"Gesamtdauer", "1m 0s", "clock.fill", Tint::green, {}},
                                       {"Gesamte Wörter", "120", "text.bubble.fill", Tint::purple, {}},
                                       {"Durchschnittliche Länge", "15s", "waveform", Tint::orange, {}}}));
    EXPECT_EQ(StatisticsFigures::speedCards(s, 23),
              (std::vector<MetricCard>{{"Sprechgeschwindigkeit", "120 WPM", "speedometer", Tint::blue, {}},
                                       {"Wörter/Aufnahme", "30", "text.word.spacing", Tint::purple, {}},
                                       {"Tage seit erster Nutzung", "23", "calendar", Tint::green, {}},
                                       {"Aktuelle Serie", "1 Tag", "flame.fill", Tint::orange, {}}}));
    EXPECT_EQ(StatisticsFigures::performanceCards(s),
              (std::vector<MetricCard>{{"Durchschn. RTF", "0.0333", "gauge", Tint::cyan, "Echtzeit-Faktor"},
                                       {"Durchschn. Inferenz", "0.5s", "brain", Tint::indigo, {}},
                                       {"Schnellste", "0.2s", "hare.fill", Tint::green, {}},
                                       {"Langsamste", "0.9s", "tortoise.fill", Tint::gray, {}}}));
    // 120 words take 180 s to type: 2 minutes saved, two thirds of the typing time.
    EXPECT_EQ(StatisticsFigures::timeSavedText(s), "2m 0s");
    EXPECT_EQ(StatisticsFigures::productivityGainText(s), "66.7% Produktivitätssteigerung");

    s.fastestInference.reset();
    s.slowestInference.reset();
    EXPECT_EQ(StatisticsFigures::performanceCards(s).size(), 2u);
}

TEST(StatisticsFiguresTest, GuardsOfTheDerivedFigures) {
    struct Case {
        const char* name;
        std::int64_t recordings, words, rtfCount;
        double duration;
        std::string speed, perRecording, rtf, saved;
        std::optional<std::string> gain;
    };
    const std::vector<Case> cases = {
        {"nothing recorded", 0, 0, 0, 0, "0 WPM", "0", "0.0000", "0s", std::nullopt},
        {"no words in 10 s", 2, 0, 0, 10, "0 WPM", "0", "0.0000", "-10s", std::nullopt},
        {"slower than typing", 1, 10, 1, 20, "30 WPM", "10", "0.0000", "-5s", std::nullopt},
        {"words without duration", 1, 40, 0, 0, "0 WPM", "40", "0.0000", "1m 0s", "100.0% Produktivitätssteigerung"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionStatistics s;
        s.totalRecordings = c.recordings;
        s.totalWords = c.words;
        s.totalDuration = c.duration;
        s.rtfCount = c.rtfCount;
        const auto speed = StatisticsFigures::speedCards(s, 0);
        EXPECT_EQ(speed[0].value, c.speed);
        EXPECT_EQ(speed[1].value, c.perRecording);
        EXPECT_EQ(StatisticsFigures::performanceCards(s)[0].value, c.rtf);
        EXPECT_EQ(StatisticsFigures::timeSavedText(s), c.saved);
        EXPECT_EQ(StatisticsFigures::productivityGainText(s), c.gain);
    }
}

TEST(StatisticsFiguresTest, LanguageSharesLargestFirst) {
    SessionStatistics s;
    s.totalRecordings = 8;
    s.languageCount = {{"en", 2}, {"de", 5}, {"fr", 1}};
    EXPECT_EQ(StatisticsFigures::languageBars(s),
              (std::vector<LanguageBar>{{"DE", 62.5, 5}, {"EN", 25.0, 2}, {"FR", 12.5, 1}}));
    EXPECT_EQ(StatisticsFigures::languageBars(s).front().shareText(), "62.5% (5)");
    s.totalRecordings = 0;
    EXPECT_TRUE(StatisticsFigures::languageBars(s).empty());
}

TEST(StatisticsFiguresTest, WhichContentShowsAndTheResetQuestion) {
    using Content = StatisticsFigures::Content;
    SessionStatistics none, some;
    some.totalRecordings = 1;
    EXPECT_EQ(StatisticsFigures::content(true, none), Content::loading);
    EXPECT_EQ(StatisticsFigures::content(false, none), Content::empty);
    EXPECT_EQ(StatisticsFigures::content(true, some), Content::full);
    const Alert alert = StatisticsFigures::resetConfirmation();
    EXPECT_EQ(alert.messageText, "Statistiken zurücksetzen");
    EXPECT_EQ(alert.informativeText,
              "Bist du sicher, dass du alle Statistiken zurücksetzen möchtest? Dies kann nicht rückgängig gemacht "
              "werden.");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Zurücksetzen", "Abbrechen"}));
    EXPECT_TRUE(alert.destructive);
}

}  // namespace
}  // namespace parloquin
