#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/TranscriptionRecord.h"
#include "tests/Parloquin/services/StoreFixtures.h"

namespace {

using parloquin::HistoryManager;
using parloquin::TranscriptionRecord;

std::string text(const platform::Data& data) { return std::string(data.begin(), data.end()); }

TEST(ExportTest, GoldenExportsOfTheSampleRecordsInAnyLocale) {
    const platform::TimeZone berlin("Europe/Berlin");
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        SCOPED_TRACE(locale);
        storetest::ScopedLocale scoped(locale);
        storetest::Store store;
        HistoryManager history(store.defaults());
        history.setRecords(storetest::sampleRecords());
        const auto records = storetest::sampleRecords();

        const auto json = history.exportJSON();
        ASSERT_TRUE(json);
        storetest::expectGolden("history.json", *json);
        storetest::expectGolden("history.csv", history.exportCSV());
        storetest::expectGolden("record-a.srt", records[0].toSRT());
        storetest::expectGolden("record-b.srt", records[1].toSRT());
        const auto rtfA = records[0].toRTF(berlin);
        const auto rtfB = records[1].toRTF(berlin);
        ASSERT_TRUE(rtfA && rtfB);
        storetest::expectGolden("record-a.rtf", text(*rtfA));
        storetest::expectGolden("record-b.rtf", text(*rtfB));

        // The stored form reads back to the same records in this locale too.
        ASSERT_TRUE(history.saveHistory());
        store.open();
        EXPECT_EQ(HistoryManager(store.defaults()).records(), records);
    }
}

TEST(ExportTest, AnEmptyHistoryExportsAnEmptyListAndTheHeader) {
    storetest::Store store;
    HistoryManager history(store.defaults());
    EXPECT_EQ(history.exportJSON(), "[]");
    EXPECT_EQ(history.exportCSV(), "Timestamp,Text,Duration,Characters,Words,Language,RTF,Inference Time\n");
}

TEST(ExportTest, SubRipTimeStampsTruncateToTheMillisecond) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "00:00:00,000"},
        {3725.5, "01:02:05,500"},
        {2.9999, "00:00:02,999"},
        {4.3, "00:00:04,300"},
        {59.999, "00:00:59,999"},
        {360000.25, "100:00:00,250"},
        {-1.5, "00:00:00,000"},
        {std::numeric_limits<double>::quiet_NaN(), "00:00:00,000"},
    };
    for (const auto& [seconds, expected] : cases) {
        EXPECT_EQ(TranscriptionRecord::srtTimestamp(seconds), expected) << seconds;
    }
}

TEST(ExportTest, ASubRipCueStaysWholeWhateverLinesTheTextHas) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"one line", "one line"},
        {"Absatz eins\n\nAbsatz zwei", "Absatz eins\nAbsatz zwei"},
        {"a\n \t\nb", "a\nb"},
        {"a\r\n\r\nb", "a\r\nb"},
        {"\nleading and trailing\n\n", "leading and trailing"},
        {"a\nb", "a\nb"},
    };
    for (const auto& [input, cueText] : cases) {
        TranscriptionRecord record;
        record.text = input;
        record.duration = 1.25;
        EXPECT_EQ(record.toSRT(), "1\n00:00:00,000 --> 00:00:01,250\n" + cueText + "\n") << input;
    }
}

TEST(ExportTest, RichTextOfTextThatIsNotUTF8FailsCleanly) {
    TranscriptionRecord record;
    record.text = "broken \xC3";
    EXPECT_FALSE(record.toRTF(platform::TimeZone::utc()));
}

}  // namespace
