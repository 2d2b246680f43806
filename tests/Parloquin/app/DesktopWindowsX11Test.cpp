// The overlay and the floating button on a real X server: neither takes the focus from the
// application the user types in, and the overlay lets the mouse through.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"
#include "tests/Platform/desktop/XTestKeyboard.h"
#include "tests/Platform/desktop/XTestMouse.h"

#include <X11/Xlib.h>

namespace {

using parloquin::FloatingDictationControlWindow;
using parloquin::QtRecordingOverlayWindow;
using parloquin_test::FocusedLineEdit;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;
using parloquin_test::XTestMouse;

// The window that has the X server's keyboard focus.
unsigned long inputFocus() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    XCloseDisplay(display);
    return focus;
}

class ClickCounter : public QWidget {
public:
    int clicks = 0;
    QPoint lastClick;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++clicks;
        lastClick = event->globalPosition().toPoint();
    }
};

class DesktopWindowsX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
        ASSERT_TRUE(editor.isFocused());
        focusBefore = inputFocus();
        ASSERT_NE(focusBefore, 0u);
    }

    FocusedLineEdit editor;
    unsigned long focusBefore = 0;
};

TEST_F(DesktopWindowsX11Test, OverlayLetsClicksThroughAndTakesNoFocus) {
    const QRect frame = QtRecordingOverlayWindow::frame(QGuiApplication::primaryScreen()->availableGeometry());
    ClickCounter below;
    below.setAttribute(Qt::WA_ShowWithoutActivating);
    below.setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    below.setGeometry(frame.adjusted(-20, -5, 20, 20));
    below.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));

    QtRecordingOverlayWindow overlay([] { return 0.5f; });
    overlay.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(overlay.panel()));
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(editor.isFocused());
    EXPECT_EQ(inputFocus(), focusBefore);

    XTestMouse mouse;
    ASSERT_TRUE(mouse.isOpen());
    mouse.click(frame.center().x(), frame.center().y());
    ASSERT_TRUE(waitUntil([&] { return below.clicks == 1; }));
    EXPECT_EQ(below.lastClick, frame.center());
    EXPECT_EQ(inputFocus(), focusBefore);
}

TEST_F(DesktopWindowsX11Test, FloatingButtonClickLeavesTheKeyboardWithTheApplicationInUse) {
    int toggles = 0;
    FloatingDictationControlWindow button([&] { ++toggles; });
    button.orderFront();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(button.panel()));
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(editor.isFocused());

    XTestMouse mouse;
    const QPoint centre = button.panel()->geometry().center();
    mouse.click(centre.x(), centre.y());
    ASSERT_TRUE(waitUntil([&] { return toggles == 1; }));
    parloquin_test::drainEventLoop();
    EXPECT_TRUE(editor.isFocused());
    EXPECT_EQ(inputFocus(), focusBefore);

    // What is typed next still lands where the user was typing.
    XTestKeyboard keyboard;
    keyboard.press(XTestKeyboard::kA);
    keyboard.release(XTestKeyboard::kA);
    EXPECT_TRUE(waitUntil([&] { return editor.text() == "a"; })) << editor.text();
}

}  // namespace
