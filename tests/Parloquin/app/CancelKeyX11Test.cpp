// The cancel key on the test X server, pressed through XTEST: taken from the desktop only while a
// dictation records, and otherwise where the user types, as ever.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/hotkeys/QtTimerScheduler.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11EventTapFactory.h"
#include "Platform/desktop/X11EventTarget.h"
#include "Platform/desktop/X11PermissionProbe.h"
#include "tests/Parloquin/app/AppHarness.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

namespace {

using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;

constexpr unsigned kEscape = 9;

TEST(CancelKeyX11, EscapeDropsARecordingAndOtherwiseReachesTheFocusedWindow) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
    parloquin_test::FocusedLineEdit editor;
    ASSERT_TRUE(editor.isFocused());
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());

    AppHarness harness;
    ASSERT_TRUE(harness.notificationsStarted);
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});
    harness.hotkeys = [&harness] {
        auto connection = platform::X11Connection::shared();
        parloquin::HotkeyEnvironment environment;
        environment.eventTarget = std::make_shared<platform::X11EventTarget>(connection);
        environment.eventTaps = std::make_shared<platform::X11EventTapFactory>(connection);
        environment.permissions = std::make_shared<platform::X11PermissionProbe>(connection);
        environment.alerts = harness.alerts;
        environment.timers = std::make_shared<parloquin::QtTimerScheduler>();
        return environment;
    };
    parloquin::AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.isInitialized());
    auto* service = delegate.transcriptionService();
    auto tapEscape = [&] {
        keyboard.press(kEscape);
        keyboard.release(kEscape);
    };

    tapEscape();
    EXPECT_TRUE(waitUntil([&] { return editor.escapePresses() == 1; })) << "before any recording";

    keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    ASSERT_TRUE(waitUntil([&] { return service->isRecording(); })) << "the hotkey starts a dictation";
    ASSERT_TRUE(waitUntil([&] { return delegate.hotkeyManager()->hasCancelKey(); }));
    ASSERT_TRUE(waitUntil([&] { return service->recordedSamples().size() >= 16000; }));

    tapEscape();
    ASSERT_TRUE(waitUntil([&] { return !service->isRecording(); })) << "Escape ends the recording";
    ASSERT_TRUE(harness.waitForIdle());
    drainEventLoop();
    EXPECT_EQ(editor.escapePresses(), 1) << "the desktop took it from the window";
    EXPECT_EQ(editor.text(), "");
    EXPECT_TRUE(harness.recognizer->calls().empty());
    EXPECT_TRUE(delegate.historyManager()->records().empty());
    EXPECT_FALSE(delegate.hotkeyManager()->hasCancelKey());

    tapEscape();
    EXPECT_TRUE(waitUntil([&] { return editor.escapePresses() == 2; })) << "after the recording";
    EXPECT_FALSE(service->isRecording());
}

}  // namespace
