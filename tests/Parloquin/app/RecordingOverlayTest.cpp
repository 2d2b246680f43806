#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "Parloquin/app/RecordingOverlayView.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace {

using parloquin::QtRecordingOverlayWindow;
using parloquin::RecordingOverlayView;
using parloquin_test::waitUntil;

TEST(RecordingOverlayTest, ElapsedTimeAsMinutesAndSeconds) {
    struct Case {
        double seconds;
        std::string text;
    };
    const std::vector<Case> cases = {
        {0, "00:00"},         {0.99, "00:00"},      {59.9, "00:59"},
        {60.0, "01:00"},      {61.5, "01:01"},      {3600, "60:00"},
        {6000, "100:00"},     {-3, "00:00"},        {std::numeric_limits<double>::quiet_NaN(), "00:00"},
        {std::numeric_limits<double>::infinity(), "00:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(RecordingOverlayView::formattedElapsedTime(c.seconds), c.text) << c.seconds;
}

TEST(RecordingOverlayTest, BarsFollowTheSmoothedLevelWithinTheirBounds) {
    struct Case {
        float level;
        double jitter;
        double smoothedLimit;
        double bar;
    };
    const std::vector<Case> cases = {
        {0.0f, 0.05, 0.05, 0.2},   // silence: the floor, even with the largest jitter
        {0.0f, -0.05, 0.05, 0.2},
        {1.0f, 0.05, 1.0, 1.0},    // full level: never above the top
        {1.0f, -0.05, 1.0, 0.95},
        {0.5f, 0.0, 0.5, 0.5},
    };
    for (const auto& c : cases) {
        RecordingOverlayView view([&] { return c.level; });
        view.setJitter([&] { return c.jitter; });
        for (int tick = 0; tick < 200; ++tick) view.updateWaveform();
        EXPECT_NEAR(view.smoothedLevel(), c.smoothedLimit, 1e-9) << c.level;
        for (double height : view.waveformHeights()) {
            EXPECT_NEAR(height, c.bar, 1e-9) << c.level << " " << c.jitter;
            EXPECT_GE(height, 0.2);
            EXPECT_LE(height, 1.0);
        }
    }
}

TEST(RecordingOverlayTest, NewestBarEntersAtTheEndAndTheOldestLeaves) {
    float level = 1.0f;
    RecordingOverlayView view([&] { return level; });
    view.setJitter([] { return 0.0; });
    for (double height : view.waveformHeights()) EXPECT_EQ(height, 0.3);

    view.updateWaveform();  // 1.0 × 0.3 + 0.3 × 0.7 = 0.51
    const auto heights = view.waveformHeights();
    ASSERT_EQ(heights.size(), 8u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(heights[i], 0.3) << i;
    EXPECT_NEAR(heights[7], 0.51, 1e-9);

    level = 0.0f;
    view.updateWaveform();  // 0.05 × 0.3 + 0.51 × 0.7 = 0.372
    EXPECT_NEAR(view.waveformHeights()[6], 0.51, 1e-9);
    EXPECT_NEAR(view.waveformHeights()[7], 0.372, 1e-9);
}

TEST(RecordingOverlayTest, DotPulsesBetweenFourTenthsAndFull) {
    RecordingOverlayView view([] { return 0.0f; });
    double lowest = 1, highest = 0;
    for (int step = 0; step < 1000; ++step) {
        view.setElapsedTimeForDisplay(step * 0.01);
        lowest = std::min(lowest, view.dotOpacity());
        highest = std::max(highest, view.dotOpacity());
    }
    EXPECT_NEAR(lowest, 0.4, 1e-3);
    EXPECT_NEAR(highest, 1.0, 1e-3);
}

TEST(RecordingOverlayTest, PlacedAtTheTopCentreOfTheAvailableArea) {
    struct Case {
        QRect available;
        QRect frame;
    };
    const std::vector<Case> cases = {
        {{0, 0, 1280, 800}, {490, 10, 300, 50}},
        {{0, 28, 1920, 1052}, {810, 38, 300, 50}},    // a panel at the top
        {{1920, 0, 1280, 1024}, {2410, 10, 300, 50}},  // a second screen to the right
    };
    for (const auto& c : cases) EXPECT_EQ(QtRecordingOverlayWindow::frame(c.available), c.frame);

    QtRecordingOverlayWindow overlay([] { return 0.0f; });
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(overlay.panel()->geometry(), QtRecordingOverlayWindow::frame(available));
    EXPECT_FALSE(overlay.panel()->isVisible());
}

TEST(RecordingOverlayTest, ShowRunsTheTimersAndHideFadesOutAndFreesThePanel) {
    int levelReads = 0;
    auto overlay = std::make_unique<QtRecordingOverlayWindow>([&] {
        ++levelReads;
        return 0.5f;
    });
    QPointer<QWidget> panel = overlay->panel();
    overlay->show();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(overlay->view()->timersActive());
    ASSERT_TRUE(waitUntil([&] { return levelReads > 0 && panel->windowOpacity() > 0.99; }));

    // The service lets go of the overlay right after hide(): the panel fades out on its own.
    overlay->hide();
    overlay.reset();
    ASSERT_TRUE(panel);
    const int readsAtHide = levelReads;
    ASSERT_TRUE(waitUntil([&] { return panel.isNull(); }));
    EXPECT_EQ(levelReads, readsAtHide);
    EXPECT_EQ(QApplication::activeWindow(), nullptr);
}

TEST(RecordingOverlayTest, AnOverlayNeverShownIsFreedWithItsObject) {
    QPointer<QWidget> panel;
    {
        QtRecordingOverlayWindow overlay([] { return 0.0f; });
        panel = overlay.panel();
    }
    EXPECT_TRUE(panel.isNull());
}

}  // namespace
