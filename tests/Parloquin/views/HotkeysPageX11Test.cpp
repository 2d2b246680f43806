// The hotkeys page on the test X server with the real hotkey manager: hotkeys recorded from keys
// pressed through XTEST, and the global hotkey quiet while the recorder listens.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/HotkeyRecorder.h"
#include "Parloquin/hotkeys/QtTimerScheduler.h"
#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/HotkeyDisplay.h"
#include "Parloquin/views/HotkeysSettings.h"
#include "Parloquin/views/HotkeysSettingsView.h"
#include "Parloquin/views/MainWindowView.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11EventTapFactory.h"
#include "Platform/desktop/X11EventTarget.h"
#include "Platform/desktop/X11PermissionProbe.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;
using Value = platform::UserDefaults::Value;

constexpr unsigned kK = 45, kEscape = 9, kLeftControl = XTestKeyboard::kLeftControl,
                   kLeftShift = XTestKeyboard::kLeftShift, kLeftAlt = XTestKeyboard::kLeftAlt,
                   kLeftSuper = XTestKeyboard::kLeftSuper, kSpace = XTestKeyboard::kSpace;

class HotkeysPageX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
        ASSERT_TRUE(keyboard.isOpen());
        connection = platform::X11Connection::open();
        ASSERT_TRUE(connection);
        std::map<std::string, Value> registered = {{"primaryHotkeyKeyCode", Value(std::int64_t(49))},
                                                   {"primaryHotkeyModifiers", Value(std::int64_t(768))},
                                                   {"primaryHotkeyIsSingleKey", Value(false)}};
        for (const auto& field : HotkeysSettings::fields()) registered.emplace(field.key, field.defaultValue);
        defaults().registerDefaults(registered);

        HotkeyEnvironment environment;
        environment.eventTarget = std::make_shared<platform::X11EventTarget>(connection);
        environment.eventTaps = std::make_shared<platform::X11EventTapFactory>(connection);
        environment.permissions = std::make_shared<platform::X11PermissionProbe>(connection);
        environment.alerts = alerts;
        environment.timers = std::make_shared<QtTimerScheduler>();
        manager = std::make_unique<HotkeyManager>(settings, environment);
        manager->onHotkeyPressed = [this] { ++presses; };

        PageContext context;
        context.defaults = &defaults();
        context.hotkeyManager = manager.get();
        window = std::make_unique<MainWindowView>(context, SidebarSection::hotkeys);
        window->resize(900, 600);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); })) << "the window never got the keyboard";
        page = dynamic_cast<HotkeysSettingsView*>(window->contentArea()->page());
        ASSERT_TRUE(page);
    }

    void TearDown() override { keyboard.releaseAll(); }

    // Records with the keys given, pressed in order and let go in reverse.
    void record(std::initializer_list<unsigned> keys) {
        QTest::mouseClick(page->hotkeyDisplay(), Qt::LeftButton);
        ASSERT_TRUE(page->hotkeyRecorder().isRecording());
        ASSERT_TRUE(manager->isSuspended());
        keyboard.press(keys);
        std::vector<unsigned> reversed(keys);
        std::reverse(reversed.begin(), reversed.end());
        for (unsigned key : reversed) keyboard.release(key);
        ASSERT_TRUE(waitUntil([&] { return !page->hotkeyRecorder().isRecording(); })) << "nothing was recorded";
        drainEventLoop();
    }
    void tap(std::initializer_list<unsigned> keys) {
        keyboard.press(keys);
        std::vector<unsigned> reversed(keys);
        std::reverse(reversed.begin(), reversed.end());
        for (unsigned key : reversed) keyboard.release(key);
    }
    std::tuple<std::string, std::int64_t, std::int64_t, bool> stored() {
        return {defaults().stringForKey("primaryHotkey").value_or(""), defaults().integerForKey("primaryHotkeyKeyCode"),
                defaults().integerForKey("primaryHotkeyModifiers"), defaults().boolForKey("primaryHotkeyIsSingleKey")};
    }
    platform::UserDefaults& defaults() { return store.defaults(); }

    XTestKeyboard keyboard;
    std::shared_ptr<platform::X11Connection> connection;
    storetest::Store store;
    UserDefaultsHotkeySettings settings{store.defaults()};
    std::shared_ptr<parloquin_test::RecordingAlerts> alerts = std::make_shared<parloquin_test::RecordingAlerts>();
    std::unique_ptr<HotkeyManager> manager;
    std::unique_ptr<MainWindowView> window;
    HotkeysSettingsView* page = nullptr;
    int presses = 0;
};

TEST_F(HotkeysPageX11Test, HotkeysRecordedFromRealKeyPresses) {
    tap({kLeftShift, kLeftSuper, kSpace});
    ASSERT_TRUE(waitUntil([&] { return presses == 1; })) << "the hotkey works before";

    // The hotkey itself, pressed to be recorded, starts nothing.
    record({kLeftShift, kLeftSuper, kSpace});
    EXPECT_EQ(stored(), std::make_tuple(std::string("⇧⌘Space"), std::int64_t(49), std::int64_t(768), false));
    EXPECT_EQ(presses, 1);
    tap({kLeftShift, kLeftSuper, kSpace});
    EXPECT_TRUE(waitUntil([&] { return presses == 2; })) << "and fires again after";

    record({kLeftAlt, kLeftSuper, kK});
    EXPECT_EQ(stored(), std::make_tuple(std::string("⌥⌘K"), std::int64_t(40), std::int64_t(0x900), false));
    EXPECT_EQ(page->hotkeyDisplay()->hotkey(), "Alt+Super+K");
    EXPECT_EQ(presses, 2);
    tap({kLeftAlt, kLeftSuper, kK});
    EXPECT_TRUE(waitUntil([&] { return presses == 3; }));

    record({kLeftControl});
    EXPECT_EQ(stored(), std::make_tuple(std::string("⌃"), std::int64_t(59), std::int64_t(0x1000), true));
    EXPECT_EQ(page->hotkeyDisplay()->hotkey(), "Strg");
    ASSERT_TRUE(manager->hasEventTap()) << "held to record, on the tap";
    tap({kLeftControl});
    EXPECT_TRUE(waitUntil([&] { return presses == 4; }));

    record({kLeftShift});
    EXPECT_EQ(stored(), std::make_tuple(std::string("⇧"), std::int64_t(56), std::int64_t(0x200), true));
    EXPECT_EQ(page->hotkeyDisplay()->hotkey(), "Umschalt");
    drainEventLoop();
    EXPECT_EQ(presses, 4) << "the tap was let go while Shift was recorded";

    // Escape ends a recording and keeps the hotkey.
    record({kEscape});
    EXPECT_EQ(stored(), std::make_tuple(std::string("⇧"), std::int64_t(56), std::int64_t(0x200), true));
    EXPECT_FALSE(manager->isSuspended());
    tap({kLeftShift});
    EXPECT_TRUE(waitUntil([&] { return presses == 5; }));
}

}  // namespace
}  // namespace parloquin
