#include <gtest/gtest.h>

#include <QAccessible>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "Parloquin/app/FloatingDictationControlView.h"
#include "Parloquin/app/FloatingDictationControlWindow.h"

namespace {

using parloquin::FloatingDictationControlView;
using parloquin::FloatingDictationControlWindow;

TEST(FloatingDictationControlTest, LookFollowsTheServiceWithProcessingFirst) {
    struct Case {
        bool isRecording;
        bool isProcessing;
        QColor colour;
        std::string symbol, label, help;
    };
    const std::vector<Case> cases = {
        {false, false, QColor(0, 0, 0, 199), "mic.fill", "Aufnahme", "Aufnahme starten"},
        {true, false, QColor(255, 59, 48, 235), "stop.fill", "Stopp", "Aufnahme stoppen"},
        {false, true, QColor(255, 149, 0, 235), "hourglass", "Warten", "Transkript wird verarbeitet"},
        {true, true, QColor(255, 149, 0, 235), "hourglass", "Warten", "Transkript wird verarbeitet"},
    };
    for (const auto& c : cases) {
        const auto look = FloatingDictationControlView::appearance(c.isRecording, c.isProcessing);
        SCOPED_TRACE(c.label);
        EXPECT_EQ(look.colour.rgba(), c.colour.rgba());
        EXPECT_EQ(look.symbol, c.symbol);
        EXPECT_EQ(look.label, c.label);
        EXPECT_EQ(look.helpText, c.help);

        FloatingDictationControlView view({});
        view.setServiceState(c.isRecording, c.isProcessing);
        EXPECT_EQ(view.toolTip().toStdString(), c.help);
    }
}

// While a transcript is processed the button is off, and says so: no click, no pointing hand,
// and assistive technology hears that it is unavailable.
TEST(FloatingDictationControlTest, ClickTogglesExceptWhileProcessing) {
    struct Case {
        std::string name;
        bool isRecording, isProcessing;
        bool enabled;
    };
    const std::vector<Case> cases = {
        {"idle", false, false, true},
        {"recording", true, false, true},
        {"processing", false, true, false},
        {"processing again", false, true, false},
        {"idle after processing", false, false, true},
    };
    int toggles = 0;
    FloatingDictationControlWindow window([&] { ++toggles; });
    window.orderFront();
    auto* view = window.view();
    for (const Case& c : cases) {
        view->setServiceState(c.isRecording, c.isProcessing);
        const int before = toggles;
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(74, 21));
        EXPECT_EQ(toggles, before + (c.enabled ? 1 : 0)) << c.name;
        EXPECT_EQ(view->isEnabled(), c.enabled) << c.name;
        EXPECT_EQ(view->cursor().shape(), c.enabled ? Qt::PointingHandCursor : Qt::ArrowCursor) << c.name;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view);
        ASSERT_TRUE(accessible) << c.name;
        EXPECT_EQ(bool(accessible->state().disabled), !c.enabled) << c.name;
        EXPECT_EQ(accessible->text(QAccessible::Description).toStdString(),
                  FloatingDictationControlView::appearance(c.isRecording, c.isProcessing).helpText)
            << c.name;
    }
}

TEST(FloatingDictationControlTest, DraggingMovesTheWindowWithoutToggling) {
    int toggles = 0;
    FloatingDictationControlWindow window([&] { ++toggles; });
    window.orderFront();
    const QPoint home = window.panel()->pos();

    auto* view = window.view();
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(view, QPoint(-80, -40));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(-80, -40));
    EXPECT_EQ(toggles, 0);
    EXPECT_EQ(window.panel()->pos(), home + QPoint(-100, -60));

    window.placeAtHome();
    EXPECT_EQ(window.panel()->pos(), home);
}

TEST(FloatingDictationControlTest, HomeIsTheLowerRightOfTheAvailableArea) {
    struct Case {
        QRect available;
        QRect frame;
    };
    const std::vector<Case> cases = {
        {{0, 0, 1280, 800}, {1108, 734, 148, 42}},
        {{0, 0, 1920, 1040}, {1748, 974, 148, 42}},      // a panel at the bottom
        {{1920, 100, 1280, 924}, {3028, 958, 148, 42}},  // a second screen
    };
    for (const auto& c : cases) EXPECT_EQ(FloatingDictationControlWindow::frame(c.available), c.frame);

    FloatingDictationControlWindow window({});
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.panel()->geometry(),
              FloatingDictationControlWindow::frame(QGuiApplication::primaryScreen()->availableGeometry()));
    const auto flags = window.panel()->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.panel()->testAttribute(Qt::WA_ShowWithoutActivating));
}

}  // namespace
