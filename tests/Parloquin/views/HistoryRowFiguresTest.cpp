// The figures of a history row and of the detail sheet: preview, speed, time saved, real-time
// factor, and the detail sheet's lines with their guards.
#include "Parloquin/views/HistoryRowFigures.h"

#include <gtest/gtest.h>

#include "Parloquin/views/TranscriptMetadata.h"

namespace parloquin {
namespace {

TranscriptionRecord record(std::int64_t words, double duration, std::optional<double> rtf = std::nullopt) {
    TranscriptionRecord r;
    r.wordCount = words;
    r.duration = duration;
    r.rtf = rtf;
    return r;
}

TEST(HistoryRowFiguresTest, ThePreviewKeepsAHundredCharactersAsAReaderCountsThem) {
    const std::string hundred(100, 'a');
    const std::string emoji = "👍🏽";  // one character, eight bytes
    struct Case {
        std::string text;
        std::string preview;
    };
    const std::vector<Case> cases = {
        {hundred, hundred},
        {hundred + "b", hundred + "..."},
        {std::string(99, 'a') + emoji, std::string(99, 'a') + emoji},
        {std::string(99, 'a') + emoji + "x", std::string(99, 'a') + emoji + "..."},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(HistoryRowFigures::preview(c.text), c.preview);
}

TEST(HistoryRowFiguresTest, SpeedTimeSavedAndRealTimeFactor) {
    struct Case {
        TranscriptionRecord record;
        std::string speed;
        std::optional<std::string> saved;
        std::optional<std::string> rtf;
    };
    const std::vector<Case> cases = {
        {record(40, 30), "80 WPM", "30.0s gespart", std::nullopt},
        {record(40, 60), "40 WPM", std::nullopt, std::nullopt},  // equal times save nothing
        {record(5, 0), "0 WPM", "7.5s gespart", std::nullopt},   // no duration: no speed
        {record(0, 0), "0 WPM", std::nullopt, std::nullopt},
        {record(9, 4.3, 0.0123), "126 WPM", "9.2s gespart", "RTF 0.012"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HistoryRowFigures::wordsPerMinuteText(c.record), c.speed);
        EXPECT_EQ(HistoryRowFigures::timeSavedText(c.record), c.saved);
        EXPECT_EQ(HistoryRowFigures::rtfText(c.record), c.rtf);
    }
    EXPECT_EQ(HistoryRowFigures::durationText(record(1, 4.25)), "4.2s");
    EXPECT_EQ(HistoryRowFigures::wordCountText(record(1, 1)), "1 Wörter");
}

TEST(HistoryRowFiguresTest, TheRelativeTimeIsSaidInTheUsersLanguage) {
    TranscriptionRecord r = record(1, 1);
    r.timestamp = platform::Date(800000000);
    const platform::Date now(800000000 + 300);
    EXPECT_EQ(HistoryRowFigures::relativeTime(r, now, "de_DE", platform::TimeZone::utc()), "vor 5 Minuten");
    EXPECT_EQ(HistoryRowFigures::relativeTime(r, now, "en_US", platform::TimeZone::utc()), "5 minutes ago");
}

TEST(TranscriptMetadataTest, TheDetailLinesAndTheirGuards) {
    using Rows = std::vector<TranscriptMetadata::Row>;
    auto rows = [](const TranscriptionRecord& r) {
        Rows all = TranscriptMetadata::rows(r, "de_DE", platform::TimeZone("Europe/Berlin"));
        return Rows(all.begin() + 1, all.end());  // the date line on its own below
    };
    TranscriptionRecord bare = record(30, 12.0);
    EXPECT_EQ(rows(bare), (Rows{{"Dauer", "12.0s"},
                                {"Wörter", "30"},
                                {"Zeichen", "0"},
                                {"Sprechgeschwindigkeit", "150 WPM"},
                                {"Zeitersparnis", "33.0s"}}));

    TranscriptionRecord slow = record(5, 20.0, 0.0412345);
    slow.charCount = 27;
    slow.language = "en";
    slow.inferenceTime = 0.5;
    EXPECT_EQ(rows(slow), (Rows{{"Dauer", "20.0s"},
                                {"Wörter", "5"},
                                {"Zeichen", "27"},
                                {"Sprache", "EN"},
                                {"Sprechgeschwindigkeit", "15 WPM"},
                                {"Zeitersparnis", "-12.5s"},
                                {"RTF", "0.0412"},
                                {"Inferenzzeit", "0.50s"}}));

    // No duration: no speed, and the whole typing time saved. An empty language still has its line.
    TranscriptionRecord instant = record(10, 0);
    instant.language = "";
    const Rows instantRows = rows(instant);
    EXPECT_EQ(instantRows[3], (TranscriptMetadata::Row{"Sprache", ""}));
    EXPECT_EQ(instantRows[4], (TranscriptMetadata::Row{"Sprechgeschwindigkeit", "0 WPM"}));
    EXPECT_EQ(instantRows[5], (TranscriptMetadata::Row{"Zeitersparnis", "15.0s"}));

    TranscriptionRecord dated = bare;
    dated.timestamp = platform::Date(818387533.0);  // 2026-12-08 01:52:13 UTC
    EXPECT_EQ(TranscriptMetadata::rows(dated, "de_DE", platform::TimeZone("Europe/Berlin")).front(),
              (TranscriptMetadata::Row{"Datum", "08.12.2026, 02:52"}));
}

}  // namespace
}  // namespace parloquin
