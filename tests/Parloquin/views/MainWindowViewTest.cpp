#include "Parloquin/views/MainWindowView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QTest>

#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/GeneralSettingsView.h"
#include "Parloquin/views/MainWindowNotifications.h"
#include "Parloquin/views/PageHeaderView.h"
#include "Parloquin/views/SidebarItemView.h"
#include "Parloquin/views/SidebarView.h"
#include "Parloquin/views/TextStyle.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace {

using parloquin::MainWindowView;
using parloquin::SidebarSection;
using parloquin_test::drainEventLoop;

class MainWindowViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<MainWindowView>(fixture.context(), SidebarSection::statistics);
        window->resize(900, 600);
        window->show();
        drainEventLoop();
    }

    QWidget* page() const { return window->contentArea()->page(); }
    std::string pageTitle() const {
        auto* header = dynamic_cast<parloquin::PageHeaderView*>(page()->findChild<QWidget*>("PageHeader"));
        return header ? header->titleLabel()->text().toStdString() : "";
    }
    void clickRow(int row) {
        QListWidget* list = window->sidebar()->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }

    parloquin_test::PageFixture fixture;
    std::unique_ptr<MainWindowView> window;
};

TEST_F(MainWindowViewTest, OpensOnTheGivenSectionAndSwitchesAtOnceWhenARowIsChosen) {
    EXPECT_EQ(window->selectedSection(), SidebarSection::statistics);
    EXPECT_EQ(window->sidebar()->selectedSection(), SidebarSection::statistics);
    EXPECT_EQ(pageTitle(), "STATISTIKEN");
    EXPECT_EQ(page()->accessibleName(), "Statistiken");

    clickRow(0);
    EXPECT_EQ(window->selectedSection(), SidebarSection::general);
    EXPECT_TRUE(dynamic_cast<parloquin::GeneralSettingsView*>(page()));
    EXPECT_EQ(pageTitle(), "ALLGEMEIN");

    // The keyboard walks the list too.
    window->sidebar()->list()->setFocus();
    QTest::keyClick(window->sidebar()->list(), Qt::Key_Down);
    EXPECT_EQ(window->selectedSection(), SidebarSection::file);
    EXPECT_EQ(pageTitle(), "DATEI");
}

// Pages keep nothing across a change of section: going away and back builds the page afresh.
TEST_F(MainWindowViewTest, APageIsBuiltAfreshWheneverTheSectionChanges) {
    window->setSelectedSection(SidebarSection::history);
    QPointer<QWidget> history = page();
    window->setSelectedSection(SidebarSection::statistics);
    window->setSelectedSection(SidebarSection::history);
    EXPECT_NE(page(), history.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(history.isNull());

    // The same section again is no change.
    QPointer<QWidget> same = page();
    window->setSelectedSection(SidebarSection::history);
    EXPECT_EQ(page(), same.data());
}

TEST_F(MainWindowViewTest, FollowsTheShellsRequestsForASection) {
    auto* center = parloquin::MainWindowNotifications::defaultCenter();
    emit center->showMainWindowSection(SidebarSection::other);
    EXPECT_EQ(window->selectedSection(), SidebarSection::other);
    EXPECT_EQ(window->sidebar()->selectedSection(), SidebarSection::other);
    EXPECT_EQ(pageTitle(), "SONSTIGES");

    // Something that names no section leaves the page as it is.
    QWidget* before = page();
    emit center->showMainWindowSection(static_cast<SidebarSection>(99));
    EXPECT_EQ(window->selectedSection(), SidebarSection::other);
    EXPECT_EQ(page(), before);
}

TEST_F(MainWindowViewTest, NeverSmallerThan800By500AndTheSidebarKeepsItsWidth) {
    window->resize(400, 300);
    drainEventLoop();
    EXPECT_GE(window->width(), 800);
    EXPECT_GE(window->height(), 500);
    EXPECT_EQ(window->minimumSize(), QSize(800, 500));
    EXPECT_GE(window->sidebar()->width(), 200);
    EXPECT_LE(window->sidebar()->width(), 250);
    window->resize(1600, 900);
    drainEventLoop();
    EXPECT_LE(window->sidebar()->width(), 250);
}

// At the window's first size every subtitle can be read whole: broken over two lines where one
// is too short, never cut off; and each entry sits within its row.
TEST_F(MainWindowViewTest, EverySubtitleOfTheSidebarCanBeReadWhole) {
    QListWidget* list = window->sidebar()->list();
    for (int row = 0; row < list->count(); ++row) {
        auto* item = dynamic_cast<parloquin::SidebarItemView*>(list->itemWidget(list->item(row)));
        ASSERT_TRUE(item);
        const QString full = QString::fromUtf8(std::string(parloquin::subtitle(item->section())).c_str());
        SCOPED_TRACE(full.toStdString());
        QString shown = item->subtitleLabel()->text();
        EXPECT_LE(shown.count(QLatin1Char('\n')), 1);
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        EXPECT_EQ(shown, full);
        EXPECT_TRUE(item->subtitleLabel()->toolTip().isEmpty());
        const QFontMetrics metrics(item->subtitleLabel()->font());
        for (const QString& line : item->subtitleLabel()->text().split(QLatin1Char('\n')))
            EXPECT_LE(metrics.horizontalAdvance(line), item->subtitleLabel()->width()) << line.toStdString();
        EXPECT_LE(item->subtitleLabel()->geometry().bottom(), item->height());
    }
}

// Where even two lines are too short, the second ends in an ellipsis and the tooltip has it all.
TEST_F(MainWindowViewTest, ASubtitleTooLongForTwoLinesIsCutOnTheSecond) {
    const QFont font = parloquin::TextStyle::caption2();
    const QString text = QStringLiteral("Nutzungsstatistiken und Produktivitätsmetriken");
    const int width = QFontMetrics(font).horizontalAdvance("Nutzungs");
    const QString narrow = parloquin::SidebarItemView::wrapped(text, font, width);
    EXPECT_EQ(narrow.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(narrow.endsWith(QChar(0x2026))) << narrow.toStdString();
    EXPECT_EQ(parloquin::SidebarItemView::wrapped(text, font, 10000), text);
}

TEST_F(MainWindowViewTest, ClosingSaysSoAndOnlyHidesTheWindow) {
    int closes = 0;
    QObject::connect(window.get(), &MainWindowView::windowWillClose, [&] { ++closes; });
    EXPECT_TRUE(window->close());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(window->isVisible());
    window->show();
    EXPECT_EQ(window->selectedSection(), SidebarSection::statistics);
}

}  // namespace
