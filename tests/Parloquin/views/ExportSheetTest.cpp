// The sheets of the transcript pages, and the export sheets of the history and the statistics: the
// bytes of each export, the proposed names, and a status line that never calls a failed or empty
// export a success.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <functional>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/views/HistoryExportView.h"
#include "Parloquin/views/ExportOptionsView.h"
#include "Parloquin/views/HistoryDetailView.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/ThemeColors.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Parloquin/views/TranscriptFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Parloquin/views/WriteFailures.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using parloquin_test::FakeChooser;

platform::Date utc(const char* text) {
    std::tm tm{};
    strptime(text, "%Y-%m-%dT%H:%M:%S", &tm);
    return platform::Date::fromTimeIntervalSince1970(static_cast<double>(timegm(&tm)));
}

// The totals of the stores' sample, whose exports are golden files of their own.
SessionStatistics storesSample() {
    SessionStatistics statistics;
    statistics.totalRecordings = 4;
    statistics.totalDuration = 190.5;
    statistics.totalCharacters = 1310;
    statistics.totalWords = 266;
    statistics.totalInferenceTime = 8.81;
    statistics.fastestInference = 1.31;
    statistics.slowestInference = 4.5;
    statistics.totalRTF = 0.17;
    statistics.rtfCount = 3;
    statistics.languageCount = {{"de", 2}, {"en", 1}};
    statistics.firstUse = utc("2026-12-06T09:15:00");
    statistics.lastUse = utc("2026-12-08T01:52:13");
    statistics.currentStreak = 2;
    statistics.longestStreak = 2;
    return statistics;
}

// A history whose JSON text comes out empty, as text that is no UTF-8 once did.
class EmptyJSONHistory : public HistoryManager {
public:
    using HistoryManager::HistoryManager;
    std::optional<std::string> exportJSON() const override { return std::string(); }
};

class ExportSheetTest : public ::testing::Test {
protected:
    ExportSheetTest() {
        history.setRecords(storetest::sampleRecords());
        parloquin_test::storeStatistics(store.defaults(), storesSample());
        statistics = std::make_unique<StatisticsManager>(store.defaults(), clock,
                                                         platform::Calendar(platform::TimeZone::utc()));
    }

    storetest::Store store;
    std::shared_ptr<storetest::ManualClock> clock =
        std::make_shared<storetest::ManualClock>(utc("2026-12-08T02:00:00"));
    HistoryManager history{store.defaults()};
    std::unique_ptr<StatisticsManager> statistics;
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    testsupport::TemporaryDirectory folder;
};

TEST_F(ExportSheetTest, EachExportWritesItsStoresText) {
    HistoryExportView historySheet(history, chooser);
    ExportOptionsView statisticsSheet(*statistics, chooser);
    struct Case {
        ExportSheet* sheet;
        int choice;
        const char* proposedName;
        FileType type;
        const char* golden;  // the stores' own golden files
    };
    const std::vector<Case> cases = {
        {&historySheet, 0, "parloquin-history.json", FileType::json(), "history.json"},
        {&historySheet, 1, "parloquin-history.csv", FileType::commaSeparatedValues(), "history.csv"},
        {&statisticsSheet, 0, "parloquin-statistics.json", FileType::json(), "statistics.json"},
        {&statisticsSheet, 1, "parloquin-statistics.txt", FileType::plainText(), "report-sample.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        chooser->save = folder / c.proposedName;
        QTest::mouseClick(c.choice == 0 ? c.sheet->firstButton() : c.sheet->secondButton(), Qt::LeftButton);
        EXPECT_EQ(chooser->savePanels.back().proposedName, c.proposedName);
        EXPECT_EQ(chooser->savePanels.back().allowedType, c.type);
        EXPECT_EQ(testsupport::readBytes(folder / c.proposedName), storetest::readFixture(c.golden));
        EXPECT_EQ(c.sheet->exportStatus(), "Exported successfully!");
        EXPECT_TRUE(c.sheet->statusLabel()->isVisibleTo(c.sheet));
    }
}

TEST_F(ExportSheetTest, TheStatusLineTellsEachOutcome) {
    const auto existing = testsupport::writeFile(folder / "parloquin-history.csv", "old contents");
    HistoryExportView sheet(history, chooser);
    EXPECT_FALSE(sheet.statusLabel()->isVisibleTo(&sheet));  // nothing done yet
    EXPECT_EQ(sheet.cancelButton()->text(), "Abbrechen");

    sheet.exportCSV();
    EXPECT_EQ(sheet.exportStatus(), "") << "a cancelled dialog is no outcome";

    chooser->save = existing;
    sheet.exportCSV();
    EXPECT_EQ(sheet.exportStatus(), "Exported successfully!");
    EXPECT_EQ(testsupport::readBytes(existing), history.exportCSV());
    EXPECT_EQ(sheet.statusLabel()->palette().color(QPalette::WindowText), ThemeColors::shared().green);

    chooser->save.reset();
    sheet.exportJSON();
    EXPECT_EQ(sheet.exportStatus(), "Exported successfully!") << "cancelling keeps the last outcome";

    chooser->save = parloquin_test::belowAFile(folder.path());
    sheet.exportJSON();
    EXPECT_TRUE(sheet.exportStatus().startsWith("Export failed: ")) << sheet.exportStatus().toStdString();
    EXPECT_TRUE(sheet.exportStatus().contains("Not a directory"));
    EXPECT_TRUE(sheet.lastExportFailed());
    EXPECT_EQ(sheet.statusLabel()->palette().color(QPalette::WindowText), ThemeColors::shared().red);

    // Cut short as on a full disk: the old file stays as it was.
    chooser->save = existing;
    const std::string before = testsupport::readBytes(existing);
    {
        parloquin_test::FileSizeLimit limit(16);
        sheet.exportCSV();
    }
    EXPECT_TRUE(sheet.exportStatus().startsWith("Export failed: "));
    EXPECT_EQ(testsupport::readBytes(existing), before);
}

TEST_F(ExportSheetTest, AJSONTextThatCannotBeMadeOrIsEmptyIsAFailureAndAsksForNoFile) {
    TranscriptionRecord unencodable = storetest::sampleRecords()[0];
    unencodable.duration = std::numeric_limits<double>::infinity();
    history.setRecords({unencodable});
    EmptyJSONHistory empty(store.defaults());
    empty.setRecords(storetest::sampleRecords());
    struct Case {
        const HistoryManager* history;
        QString status;
    };
    const std::vector<Case> cases = {
        {&history, QString("Export failed: ") + HistoryExportView::noJSON},
        {&empty, QString("Export failed: ") + ExportSheet::emptyExport},
    };
    chooser->save = folder / "parloquin-history.json";
    for (const Case& c : cases) {
        HistoryExportView sheet(*c.history, chooser);
        sheet.exportJSON();
        EXPECT_EQ(sheet.exportStatus(), c.status);
    }
    EXPECT_TRUE(chooser->savePanels.empty());
    EXPECT_FALSE(std::filesystem::exists(folder / "parloquin-history.json"));
}

TEST_F(ExportSheetTest, AnEmptyHistoryExportsAnEmptyListAndTheHeaderLine) {
    history.setRecords({});
    HistoryExportView sheet(history, chooser);
    chooser->saves = {folder / "h.json", folder / "h.csv"};
    sheet.exportJSON();
    sheet.exportCSV();
    EXPECT_EQ(testsupport::readBytes(folder / "h.json"), "[]");
    EXPECT_EQ(testsupport::readBytes(folder / "h.csv"),
              "Timestamp,Text,Duration,Characters,Words,Language,RTF,Inference Time\n");
    EXPECT_EQ(sheet.exportStatus(), "Exported successfully!");
}

// Each sheet lies over its window on the light background of the controls, so that its grey
// buttons show as buttons; its close symbol is named, and it is gone once closed.
TEST_F(ExportSheetTest, EveryTranscriptSheetIsASheetOverItsWindow) {
    struct Case {
        const char* name;
        std::function<SheetView*(QWidget*)> make;
        QString closeLabel;
    };
    const std::vector<Case> cases = {
        {"history detail",
         [&](QWidget* window) {
             return new HistoryDetailView(storetest::sampleRecords()[0], {}, "de_DE", window);
         },
         QString::fromUtf8("Schließen")},
        {"history export", [&](QWidget* window) { return new HistoryExportView(history, chooser, window); },
         "Abbrechen"},
        {"statistics export", [&](QWidget* window) { return new ExportOptionsView(*statistics, chooser, window); },
         "Abbrechen"},
    };
    const ThemeColors& colors = ThemeColors::shared();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QWidget window;
        window.resize(800, 600);
        window.show();
        QPointer<SheetView> sheet = c.make(&window);
        sheet->open();
        parloquin_test::drainEventLoop();
        EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
        EXPECT_EQ(sheet->closeButton()->text(), c.closeLabel);
        EXPECT_EQ(sheet->closeSymbolButton()->accessibleName(), c.closeLabel);

        const QImage image = sheet->grab().toImage();
        EXPECT_EQ(image.pixelColor(4, 4), colors.controlBackgroundColor) << "the sheet's background";
        const QRect button = sheet->closeButton()->geometry();
        const QColor fill = image.pixelColor(button.left() + 6, button.center().y());
        EXPECT_EQ(fill, colors.controlColor) << "the close button's fill";
        EXPECT_NE(fill, colors.controlBackgroundColor);

        QTest::mouseClick(sheet->closeSymbolButton(), Qt::LeftButton);
        EXPECT_TRUE(parloquin_test::waitUntil([&] { return sheet.isNull(); })) << "closed and deleted";
    }
}

}  // namespace
}  // namespace parloquin
