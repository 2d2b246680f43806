// The page "Verlauf" as a person uses it, with 0, 1 and 20 records: what it shows, searching,
// filtering by language, a row's actions, the detail sheet, clearing after a question, the
// privacy banner, and following the store live.
#include "Parloquin/views/HistoryView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/views/HistoryRowView.h"
#include "Parloquin/views/MessagePlaceholderView.h"
#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/PrivacyBannerView.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/TranscriptExportMenu.h"
#include "tests/Parloquin/services/PasteFakes.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Parloquin/views/TranscriptFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TemporaryDirectory.h"

namespace parloquin {
namespace {

using Content = HistoryListing::Content;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;

class HistoryViewTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    void open(std::vector<TranscriptionRecord> records) {
        openWithoutRunningTheEventLoop(std::move(records));
        drainEventLoop();
    }
    // The page shown, before its event loop has run: its loading delay cannot have passed yet,
    // however long the construction and the first show took.
    void openWithoutRunningTheEventLoop(std::vector<TranscriptionRecord> records) {
        history.setRecords(std::move(records));
        PageContext context;
        context.defaults = &store.defaults();
        context.alerts = alerts;
        context.historyManager = &history;
        context.files = chooser;
        context.clock = clock;
        page = std::make_unique<HistoryView>(history, context);
        page->resize(760, 700);
        page->show();
    }

    std::vector<std::string> shownTexts() const {
        std::vector<std::string> texts;
        for (const HistoryRowView* row : page->visibleRows()) texts.push_back(row->record().text);
        return texts;
    }
    QString count() const {
        QString text = page->countLabel()->text();
        if (page->filteredFromLabel()->isVisibleTo(page.get())) text += " " + page->filteredFromLabel()->text();
        return text;
    }
    void type(const QString& text) {
        page->searchField()->clear();
        QTest::keyClicks(page->searchField(), text);
    }
    QAction* filterItem(const QString& title) {
        for (QAction* action : page->filterButton()->menu()->actions())
            if (action->text() == title) return action;
        return nullptr;
    }

    parloquin_test::FakeDesktop desktop;
    storetest::Store store;
    std::shared_ptr<parloquin_test::RecordingAlerts> alerts = std::make_shared<parloquin_test::RecordingAlerts>();
    HistoryManager history{store.defaults()};
    std::shared_ptr<parloquin_test::FakeChooser> chooser = std::make_shared<parloquin_test::FakeChooser>();
    std::unique_ptr<HistoryView> page;
    const platform::Date now = platform::Date::now();
    std::shared_ptr<storetest::ManualClock> clock = std::make_shared<storetest::ManualClock>(now);
};

TEST_F(HistoryViewTest, NoRecordsShowTheLoadingThenTheEmptyPlaceholderNamingTheUsersHotkey) {
    store.defaults().setString("primaryHotkey", "⌃⌥D");
    openWithoutRunningTheEventLoop({});
    EXPECT_EQ(page->content(), Content::loading);
    EXPECT_EQ(count(), "0 Aufnahmen");
    EXPECT_FALSE(page->filterButton()->isVisibleTo(page.get())) << "no languages, no filter";
    EXPECT_TRUE(page->exportButton()->isVisibleTo(page.get()));
    EXPECT_TRUE(page->clearAllButton()->isVisibleTo(page.get()));
    ASSERT_TRUE(waitUntil([&] { return page->content() == Content::empty; }));
    EXPECT_FALSE(page->isLoading());
    EXPECT_TRUE(page->emptyView()->isVisibleTo(page.get()));
    EXPECT_EQ(page->emptyView()->messageLabel()->text(),
              "Dein Transkriptionsverlauf erscheint hier. Starte eine Aufnahme mit Strg+Alt+D für deine erste Transkription.");
    store.defaults().setString("primaryHotkey", "⇧⌘Space");
    drainEventLoop();
    EXPECT_TRUE(page->emptyView()->messageLabel()->text().contains("mit Umschalt+Super+Leertaste für"));
}

TEST_F(HistoryViewTest, OneRecordShowsItsRowAtOnce) {
    const auto records = parloquin_test::twentyRecords(now);
    open({records[1]});
    EXPECT_EQ(page->content(), Content::list);
    EXPECT_EQ(count(), "1 Aufnahme");
    ASSERT_EQ(page->visibleRows().size(), 1u);
    const HistoryRowView* row = page->visibleRows()[0];
    EXPECT_EQ(row->topLineTexts(), (QStringList{"vor 52 Minuten", "EN", "4.7s", "8 Wörter"}));
    EXPECT_EQ(row->previewLabel()->text(), "Remind me to call the dentist tomorrow morning.");
    EXPECT_EQ(row->figureTexts(), (QStringList{"102 WPM", "7.3s gespart", "RTF 0.025"}));
    EXPECT_FALSE(row->actionLine() && row->actionLine()->isVisibleTo(page.get())) << "actions only under the pointer";
}

// "vor 52 Minuten" is said from the moment the row is drawn: it moves on while the page stays open,
// and again when the page is shown anew.
TEST_F(HistoryViewTest, ARowsRelativeTimeMovesOnWhileThePageStaysOpen) {
    const auto records = parloquin_test::twentyRecords(now);
    open({records[1]});
    ASSERT_EQ(page->visibleRows().size(), 1u);
    EXPECT_EQ(page->visibleRows()[0]->topLineTexts().front(), "vor 52 Minuten");
    ASSERT_TRUE(page->relativeTimeTimer()->isActive());
    EXPECT_LE(page->relativeTimeTimer()->interval(), 60'000);

    clock->set(now.addingTimeInterval(3 * 60));
    page->refreshRelativeTimes();  // what the timer does
    EXPECT_EQ(page->visibleRows()[0]->topLineTexts().front(), "vor 55 Minuten");

    page->hide();
    EXPECT_FALSE(page->relativeTimeTimer()->isActive());
    clock->set(now.addingTimeInterval(2 * 3600));
    page->show();
    drainEventLoop();
    EXPECT_EQ(page->visibleRows()[0]->topLineTexts().front(), "vor 2 Stunden");
}

TEST_F(HistoryViewTest, SearchAndLanguageFilterOnTwentyRecords) {
    open(parloquin_test::twentyRecords(now));
    EXPECT_EQ(count(), "20 Aufnahmen");
    EXPECT_EQ(page->visibleRows().size(), 20u);

    type("termin");
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{"Termin beim Friseur verschieben."}));
    EXPECT_EQ(count(), "1 Aufnahme (gefiltert von 20)");
    EXPECT_TRUE(page->clearSearchButton()->isVisibleTo(page.get()));
    QTest::mouseClick(page->clearSearchButton(), Qt::LeftButton);
    EXPECT_EQ(page->searchField()->text(), "");
    EXPECT_EQ(page->visibleRows().size(), 20u);

    QStringList items;
    for (const QAction* action : page->filterButton()->menu()->actions()) items << action->text();
    EXPECT_EQ(items, (QStringList{"Alle Sprachen", "", "DE", "EN", "ES", "FR"}));
    EXPECT_EQ(page->filterButton()->text(), "Filter");
    filterItem("EN")->trigger();
    EXPECT_EQ(page->languageFilter(), "en");
    EXPECT_EQ(page->filterButton()->text(), "EN");
    EXPECT_EQ(count(), "5 Aufnahmen (gefiltert von 20)");

    type("an");  // many German records hold it too; the filter leaves the English ones
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{"The quarterly numbers look better than expected, especially "
                                                      "in the northern region.",
                                                      "Can you send me the link to the recording?"}));
    type("Quittung");
    EXPECT_EQ(page->content(), Content::noResults);
    EXPECT_EQ(page->noResultsView()->messageLabel()->text(), "Keine Transkriptionen gefunden für \"Quittung\"");
    EXPECT_EQ(count(), "0 Aufnahmen (gefiltert von 20)");

    type("");
    filterItem("Alle Sprachen")->trigger();
    EXPECT_EQ(page->languageFilter(), std::nullopt);
    EXPECT_EQ(page->visibleRows().size(), 20u);
}

TEST_F(HistoryViewTest, ARowsActionsCopySaveAndDelete) {
    const auto records = parloquin_test::twentyRecords(now);
    open({records[0], records[1], records[2]});
    HistoryRowView* row = page->visibleRows()[1];
    QTest::mouseMove(row, QPoint(20, 20));
    row->setHovered(true);
    EXPECT_TRUE(row->actionLine()->isVisibleTo(page.get()));

    QTest::mouseClick(row->copyButton(), Qt::LeftButton);
    EXPECT_EQ(desktop.pasteboard->contents, records[1].text);

    testsupport::TemporaryDirectory folder;
    chooser->save = folder / "zeile.srt";
    row->exportButton()->items()->actions()[1]->trigger();
    EXPECT_EQ(testsupport::readBytes(folder / "zeile.srt"), records[1].toSRT());

    QTest::mouseClick(row->deleteButton(), Qt::LeftButton);
    drainEventLoop();
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{records[0].text, records[2].text}));
    EXPECT_EQ(history.records().size(), 2u);
    EXPECT_TRUE(alerts->shown.empty()) << "deleting a row asks nothing";
}

TEST_F(HistoryViewTest, ARowThatGoesWhileItsSaveDialogIsOpenStillGetsSaved) {
    const auto records = parloquin_test::twentyRecords(now);
    open({records[0], records[1]});
    HistoryRowView* row = page->visibleRows()[1];
    row->setHovered(true);
    testsupport::TemporaryDirectory folder;
    chooser->save = folder / "zeile.txt";
    // The dialog's own event loop runs while it is open: the record is deleted elsewhere and its
    // row is destroyed under the dialog.
    QPointer<HistoryRowView> alive(row);
    chooser->whileOpen = [&] {
        history.deleteRecord(records[1].id);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(alive) << "the row is gone while the dialog is open";
    };
    row->exportButton()->items()->actions()[0]->trigger();
    drainEventLoop();
    EXPECT_EQ(testsupport::readBytes(folder / "zeile.txt"), records[1].text);
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{records[0].text}));
}

TEST_F(HistoryViewTest, TappingARowOpensItsDetailSheet) {
    auto records = parloquin_test::twentyRecords(now);
    open(records);
    QTest::mouseClick(page->visibleRows()[3], Qt::LeftButton, {}, QPoint(30, 10));
    ASSERT_TRUE(page->detailSheet());
    EXPECT_EQ(page->selectedRecord(), records[3]);
    std::vector<QString> labels;
    for (const auto& [label, value] : page->detailSheet()->metadataLines()) labels.push_back(label);
    // Record 3 has a language but neither a real-time factor nor an inference time.
    EXPECT_EQ(labels, (std::vector<QString>{"Datum", "Dauer", "Wörter", "Zeichen", "Sprache",
                                            "Sprechgeschwindigkeit", "Zeitersparnis"}));
    EXPECT_EQ(page->detailSheet()->transcriptText()->text().toStdString(), records[3].text);

    QTest::mouseClick(page->detailSheet()->copyButton(), Qt::LeftButton);
    EXPECT_EQ(desktop.pasteboard->contents, records[3].text);
    ASSERT_TRUE(waitUntil([&] { return !page->detailSheet(); })) << "copying closes the sheet";

    QTest::keyClick(page->visibleRows()[0], Qt::Key_Return);
    ASSERT_TRUE(page->detailSheet());
    QTest::mouseClick(page->detailSheet()->closeButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !page->detailSheet(); }));
    EXPECT_EQ(page->selectedRecord(), records[0]) << "the selection stays after closing";
}

TEST_F(HistoryViewTest, ClearingAsksAboutEveryRecordAndOnlyYesClears) {
    open(parloquin_test::twentyRecords(now));
    type("termin");  // the question counts all records, not those shown
    alerts->response = alertFirstButtonReturn + 1;  // "Abbrechen"
    QTest::mouseClick(page->clearAllButton(), Qt::LeftButton);
    ASSERT_EQ(alerts->shown.size(), 1u);
    EXPECT_TRUE(alerts->shown[0].informativeText.find("alle 20 Transkription(en)") != std::string::npos);
    EXPECT_EQ(history.records().size(), 20u);

    alerts->response = alertFirstButtonReturn;  // "Alles löschen"
    QTest::mouseClick(page->clearAllButton(), Qt::LeftButton);
    EXPECT_TRUE(history.records().empty());
    EXPECT_TRUE(HistoryManager(store.defaults()).records().empty()) << "and stored so";
    // Never in the loading state before: it shows now, then the empty placeholder.
    EXPECT_EQ(page->content(), Content::loading);
    ASSERT_TRUE(waitUntil([&] { return page->content() == Content::empty; }));
    EXPECT_EQ(page->searchText(), "termin") << "the search stays as it was";
}

TEST_F(HistoryViewTest, ThePageFollowsTheStoreAndThePrivacySetting) {
    const auto records = parloquin_test::twentyRecords(now);
    open({records[5]});
    EXPECT_FALSE(page->privacyBanner()->isVisibleTo(page.get()));
    history.addRecord(records[4]);
    drainEventLoop();
    EXPECT_EQ(shownTexts(), (std::vector<std::string>{records[4].text, records[5].text}));

    store.defaults().setBool("privacyModeEnabled", true);
    drainEventLoop();
    EXPECT_TRUE(page->privacyBanner()->isVisibleTo(page.get()));
    QTest::mouseClick(page->privacyBanner()->disableButton(), Qt::LeftButton);
    drainEventLoop();
    EXPECT_EQ(store.defaults().boolForKey("privacyModeEnabled"), false);
    EXPECT_FALSE(page->privacyBanner()->isVisibleTo(page.get()));

    QTest::mouseClick(page->exportButton(), Qt::LeftButton);
    ASSERT_TRUE(page->exportSheet());
    EXPECT_EQ(page->exportSheet()->exportStatus(), "");
}

}  // namespace
}  // namespace parloquin
