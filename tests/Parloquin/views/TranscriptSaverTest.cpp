// Saving one transcript: the bytes of each format, the proposed name, the dialog's file type,
// replacing a file whole, and failures told rather than swallowed.
#include "Parloquin/views/TranscriptSaver.h"

#include <gtest/gtest.h>

#include "tests/Parloquin/services/DesktopFakes.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Parloquin/views/WriteFailures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using Format = TranscriptExportFormat;
using parloquin_test::FakeChooser;

class TranscriptSaverTest : public ::testing::Test {
protected:
    TranscriptSaver saver() { return TranscriptSaver(chooser, alerts, "de_DE", berlin); }

    const platform::TimeZone berlin{"Europe/Berlin"};
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    std::shared_ptr<parloquin_test::RecordingAlerts> alerts = std::make_shared<parloquin_test::RecordingAlerts>();
    testsupport::TemporaryDirectory folder;
};

TEST_F(TranscriptSaverTest, EachFormatWritesTheRecordsBytes) {
    struct Case {
        std::size_t record;
        Format format;
        const char* golden;  // shared with the stores' exports where the text is theirs
        FileType type;
    };
    const std::vector<Case> cases = {
        {0, Format::txt, "record-a.txt", FileType::plainText()}, {1, Format::txt, "record-b.txt", FileType::plainText()},
        {0, Format::srt, "record-a.srt", FileType::subRip()},    {1, Format::srt, "record-b.srt", FileType::subRip()},
        {0, Format::rtf, "record-a.rtf", FileType::richText()},  {1, Format::rtf, "record-b.rtf", FileType::richText()},
    };
    const auto records = storetest::sampleRecords();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        chooser->save = folder / c.golden;
        EXPECT_EQ(saver().save(records[c.record], c.format), TranscriptSaver::Outcome::saved);
        storetest::expectGolden(c.golden, testsupport::readBytes(folder / c.golden));
        EXPECT_EQ(chooser->savePanels.back().allowedType, c.type);
    }
    EXPECT_TRUE(alerts->shown.empty());
}

TEST_F(TranscriptSaverTest, TheProposedNameIsTheRecordsDayInTheUsersWay) {
    TranscriptionRecord record = storetest::sampleRecords()[0];  // 2026-12-08 02:52 in Berlin
    struct Case {
        const char* locale;
        Format format;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"de_DE", Format::txt, "transkription-8. Dez. 2026.txt"},
        {"de_DE", Format::srt, "transkription-8. Dez. 2026.srt"},
        {"en_US", Format::rtf, "transkription-Dec 8, 2026.rtf"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TranscriptSaver::defaultFileName(record, c.format, c.locale, berlin), c.name) << c.locale;

    // Two records of the same day get the same name; the day is the record's, not today's.
    TranscriptionRecord later = record;
    later.timestamp = platform::Date(record.timestamp.timeIntervalSinceReferenceDate() + 3600);
    EXPECT_EQ(TranscriptSaver::defaultFileName(later, Format::txt, "de_DE", berlin),
              TranscriptSaver::defaultFileName(record, Format::txt, "de_DE", berlin));
    chooser->save.reset();
    saver().save(record, Format::txt);
    EXPECT_EQ(chooser->savePanels.back().proposedName, "transkription-8. Dez. 2026.txt");
}

TEST_F(TranscriptSaverTest, ACancelledDialogWritesAndSaysNothing) {
    chooser->save.reset();
    EXPECT_EQ(saver().save(storetest::sampleRecords()[0], Format::rtf), TranscriptSaver::Outcome::cancelled);
    EXPECT_TRUE(alerts->shown.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(TranscriptSaverTest, AnExistingFileIsReplacedWhole) {
    const auto target = testsupport::writeFile(folder / "notiz.txt", std::string(10000, 'x'));
    const auto before = std::filesystem::status(target).permissions();
    chooser->save = target;
    ASSERT_EQ(saver().save(storetest::sampleRecords()[2], Format::txt), TranscriptSaver::Outcome::saved);
    EXPECT_EQ(testsupport::readBytes(target), storetest::sampleRecords()[2].text);
    EXPECT_EQ(std::filesystem::status(target).permissions(), before);
    // Nothing but the file is left in the folder: no temporary copy.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 1);
}

TEST_F(TranscriptSaverTest, AFailedWriteIsToldAndLeavesTheOldFileWhole) {
    const std::string old(4096, 'o');
    const auto existing = testsupport::writeFile(folder / "alt.txt", old);
    struct Case {
        const char* name;
        std::filesystem::path target;
        std::size_t sizeLimit;  // 0: none
        const char* reason;     // a piece of the message box's text
    };
    const std::vector<Case> cases = {
        {"a folder that takes no files", parloquin_test::belowAFile(folder.path()), 0, "Not a directory"},
        {"a write cut short, as on a full disk", existing, 8, "alt.txt"},
    };
    TranscriptionRecord record = storetest::sampleRecords()[0];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        chooser->save = c.target;
        TranscriptSaver::Outcome outcome;
        {
            std::optional<parloquin_test::FileSizeLimit> limit;
            if (c.sizeLimit) limit.emplace(c.sizeLimit);
            outcome = saver().save(record, Format::txt);
        }
        EXPECT_EQ(outcome, TranscriptSaver::Outcome::failed);
        ASSERT_EQ(alerts->shown.size(), 1u);
        EXPECT_EQ(alerts->shown[0].messageText, "Transkription nicht gespeichert");
        EXPECT_NE(alerts->shown[0].informativeText.find(c.reason), std::string::npos)
            << alerts->shown[0].informativeText;
        EXPECT_EQ(testsupport::readBytes(existing), old);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()), 2);
}

TEST_F(TranscriptSaverTest, ATextThatCannotBeRichTextAsksForNoPlaceAndSaysWhy) {
    TranscriptionRecord record = storetest::sampleRecords()[0];
    record.text = "kaputt \xff\xfe";
    chooser->save = folder / "x.rtf";
    EXPECT_EQ(saver().save(record, Format::rtf), TranscriptSaver::Outcome::failed);
    EXPECT_TRUE(chooser->savePanels.empty());
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_EQ(alerts->shown[0].informativeText, TranscriptSaver::noRichText);
    EXPECT_FALSE(std::filesystem::exists(folder / "x.rtf"));
}

}  // namespace
}  // namespace parloquin
