// The page "Statistiken": which content shows when, the cards of the store's totals, the privacy
// banner in every state, the export sheet, and the reset after a question.
#include "Parloquin/views/StatisticsView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/views/LanguageBarView.h"
#include "Parloquin/views/MetricCardView.h"
#include "Parloquin/views/PlainButton.h"
#include "Parloquin/views/PrivacyBannerView.h"
#include "Parloquin/views/StyledButton.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Parloquin/views/TranscriptFixtures.h"
#include "tests/Parloquin/views/TranscriptPageFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using Content = StatisticsFigures::Content;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;

class StatisticsViewTest : public ::testing::Test {
protected:
    void open(std::optional<SessionStatistics> stored) {
        openWithoutRunningTheEventLoop(std::move(stored));
        drainEventLoop();
    }
    // The page shown, before its event loop has run: its loading delay cannot have passed yet,
    // however long the construction and the first show took.
    void openWithoutRunningTheEventLoop(std::optional<SessionStatistics> stored) {
        if (stored) parloquin_test::storeStatistics(fixture.store.defaults(), *stored);
        statistics = std::make_unique<StatisticsManager>(fixture.store.defaults());
        PageContext context = fixture.context();
        context.statisticsManager = statistics.get();
        context.files = std::make_shared<parloquin_test::FakeChooser>();
        page = std::make_unique<StatisticsView>(*statistics, context);
        page->resize(760, 700);
        page->show();
    }

    std::vector<std::pair<std::string, std::string>> cards() const {
        std::vector<std::pair<std::string, std::string>> shown;
        for (const MetricCardView* card : page->contentView()->findChildren<MetricCardView*>())
            shown.emplace_back(card->card().title, card->valueLabel()->text().toStdString());
        return shown;
    }
    QStringList languages() const {
        QStringList shown;
        for (const LanguageBarView* bar : page->contentView()->findChildren<LanguageBarView*>())
            shown << bar->languageLabel()->text() + " " + bar->shareLabel()->text();
        return shown;
    }

    parloquin_test::PageFixture fixture;
    std::unique_ptr<StatisticsManager> statistics;
    std::unique_ptr<StatisticsView> page;
    const platform::Date now = platform::Date::now();
};

TEST_F(StatisticsViewTest, NothingRecordedShowsTheLoadingThenTheEmptyState) {
    openWithoutRunningTheEventLoop(std::nullopt);
    EXPECT_EQ(page->content(), Content::loading);
    EXPECT_EQ(page->contentView()->objectName(), "LoadingStatisticsView");
    ASSERT_TRUE(waitUntil([&] { return page->content() == Content::empty; }));
    EXPECT_EQ(page->contentView()->objectName(), "EmptyStatisticsView");
    EXPECT_FALSE(page->isLoading());
}

TEST_F(StatisticsViewTest, RecordedTotalsShowAtOnceAsCardsAndBars) {
    open(parloquin_test::fewWeeksOfUse(now));
    EXPECT_EQ(page->content(), Content::full);
    using Card = std::pair<std::string, std::string>;
    EXPECT_EQ(cards(), (std::vector<Card>{{"Gesamte Aufnahmen", "146"},
                                          {"Gesamtdauer", "35m 35s"},
                                          {"Gesamte Wörter", "8.4K"},
                                          {"Durchschnittliche Länge", "14s"},
                                          {"Sprechgeschwindigkeit", "236 WPM"},
                                          {"Wörter/Aufnahme", "58"},
                                          {"Tage seit erster Nutzung", "23"},
                                          {"Aktuelle Serie", "5 Tage"},
                                          {"Durchschn. RTF", "0.0289"},
                                          {"Durchschn. Inferenz", "0.4s"},
                                          {"Schnellste", "0.1s"},
                                          {"Langsamste", "2s"}}));
    EXPECT_EQ(page->contentView()->findChild<QLabel*>("TimeSavedValue")->text(), "2h 54m");
    EXPECT_EQ(page->contentView()->findChild<QLabel*>("ProductivityGain")->text(), "83.1% Produktivitätssteigerung");
    EXPECT_EQ(languages(), (QStringList{"DE 66.4% (97)", "EN 28.1% (41)", "FR 3.4% (5)", "ES 2.1% (3)"}));
}

TEST_F(StatisticsViewTest, WithoutLanguagesTheSectionIsLeftOut) {
    SessionStatistics totals = parloquin_test::fewWeeksOfUse(now);
    totals.languageCount.clear();
    totals.fastestInference.reset();
    totals.slowestInference.reset();
    open(totals);
    EXPECT_TRUE(languages().isEmpty());
    EXPECT_EQ(cards().size(), 10u);
    QStringList headings;
    for (const QLabel* label : page->contentView()->findChildren<QLabel*>())
        if (label->text() == label->text().toUpper() && label->font().weight() == QFont::DemiBold)
            headings << label->text();
    EXPECT_EQ(headings, (QStringList{"NUTZUNGSMETRIKEN", "PRODUKTIVITÄT", "LEISTUNG", "AKTIONEN"}));
}

TEST_F(StatisticsViewTest, ThePrivacyBannerStandsOverEveryContentUntilSwitchedOff) {
    fixture.store.defaults().setBool("privacyModeEnabled", true);
    open(std::nullopt);
    EXPECT_TRUE(page->privacyBanner()->isVisibleTo(page.get()));
    ASSERT_TRUE(waitUntil([&] { return page->content() == Content::empty; }));
    EXPECT_TRUE(page->privacyBanner()->isVisibleTo(page.get()));
    statistics->recordSession(10, 2, "de", 0.1, 0.2, 2.0);
    drainEventLoop();
    EXPECT_EQ(page->content(), Content::full);
    EXPECT_TRUE(page->privacyBanner()->isVisibleTo(page.get()));
    QTest::mouseClick(page->privacyBanner()->disableButton(), Qt::LeftButton);
    drainEventLoop();
    EXPECT_FALSE(fixture.store.defaults().boolForKey("privacyModeEnabled"));
    EXPECT_FALSE(page->privacyBanner()->isVisibleTo(page.get()));
}

TEST_F(StatisticsViewTest, ResetOnlyAfterYesAndTheExportSheet) {
    open(parloquin_test::fewWeeksOfUse(now));
    fixture.alerts->response = alertFirstButtonReturn + 1;  // "Abbrechen"
    QTest::mouseClick(page->resetButton(), Qt::LeftButton);
    ASSERT_EQ(fixture.alerts->shown.size(), 1u);
    EXPECT_EQ(fixture.alerts->shown[0].messageText, "Statistiken zurücksetzen");
    EXPECT_EQ(statistics->statistics().totalRecordings, 146);
    EXPECT_EQ(page->content(), Content::full);

    QTest::mouseClick(page->exportButton(), Qt::LeftButton);
    ASSERT_TRUE(page->exportSheet());
    EXPECT_EQ(page->exportSheet()->windowTitle(), "Statistiken exportieren");
    page->exportSheet()->close();

    fixture.alerts->response = alertFirstButtonReturn;  // "Zurücksetzen"
    QTest::mouseClick(page->resetButton(), Qt::LeftButton);
    drainEventLoop();
    EXPECT_EQ(statistics->statistics(), SessionStatistics{});
    statistics->flush();
    EXPECT_EQ(StatisticsManager(fixture.store.defaults()).statistics(), SessionStatistics{}) << "and stored so";
    EXPECT_EQ(page->content(), Content::empty) << "no loading after a reset";
}

}  // namespace
}  // namespace parloquin
