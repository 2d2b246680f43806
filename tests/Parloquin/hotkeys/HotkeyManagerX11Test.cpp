// The hotkey manager on a real X server, with XTEST as the keyboard.
#include <gtest/gtest.h>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/QtTimerScheduler.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11EventTapFactory.h"
#include "Platform/desktop/X11EventTarget.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/ForeignGrab.h"
#include "tests/Platform/desktop/XTestKeyboard.h"

// Xlib last: its macros clash with Qt and GoogleTest headers.
#include <X11/Xlib.h>

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::ForeignGrab;
using parloquin_test::MemorySettings;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;

class HotkeyManagerX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        connection = platform::X11Connection::open();
        ASSERT_TRUE(connection) << "needs an X server (DISPLAY)";
        ASSERT_TRUE(keyboard.isOpen());
    }

    std::unique_ptr<HotkeyManager> make() {
        HotkeyEnvironment environment;
        environment.eventTarget = std::make_shared<platform::X11EventTarget>(connection);
        environment.eventTaps = std::make_shared<platform::X11EventTapFactory>(connection);
        environment.permissions = permissions;
        environment.alerts = alerts;
        environment.timers = std::make_shared<QtTimerScheduler>();
        auto manager = std::make_unique<HotkeyManager>(settings, environment);
        manager->onHotkeyPressed = [this] { ++presses; };
        manager->onHotkeyReleased = [this] { ++releases; };
        return manager;
    }

    void storeLoneOption() {
        settings.integers["primaryHotkeyKeyCode"] = 58;
        settings.integers["primaryHotkeyModifiers"] = 2048;
        settings.bools["primaryHotkeyIsSingleKey"] = true;
        settings.strings["primaryHotkey"] = "⌥";
    }

    bool seen(int wantPresses, int wantReleases) {
        bool ok = waitUntil([&] { return presses >= wantPresses && releases >= wantReleases; });
        drainEventLoop();
        return ok && presses == wantPresses && releases == wantReleases;
    }

    XTestKeyboard keyboard;
    std::shared_ptr<platform::X11Connection> connection;
    MemorySettings settings;
    std::shared_ptr<parloquin_test::FakePermissions> permissions = std::make_shared<parloquin_test::FakePermissions>();
    std::shared_ptr<parloquin_test::RecordingAlerts> alerts = std::make_shared<parloquin_test::RecordingAlerts>();
    int presses = 0;
    int releases = 0;
};

TEST_F(HotkeyManagerX11Test, ShiftCommandSpaceIsOnePressWhileHeldThenARelease) {
    auto manager = make();
    ASSERT_TRUE(manager->hasHotKey());

    int serverPresses = 0;  // what the server sends, repeats included
    int listener = connection->addListener([&](XEvent& e) {
        if (e.type == KeyPress && e.xkey.keycode == XTestKeyboard::kSpace) ++serverPresses;
    });
    keyboard.setFastAutoRepeat();
    keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    ASSERT_TRUE(waitUntil([&] { return serverPresses >= 4; })) << "the server never repeated the held keys";
    drainEventLoop();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(releases, 0);

    keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    EXPECT_TRUE(seen(1, 1));
    connection->removeListener(listener);
}

TEST_F(HotkeyManagerX11Test, CombinationHeldByAnotherClient) {
    ForeignGrab other(XTestKeyboard::kSpace, ShiftMask | Mod4Mask);
    ASSERT_EQ(other.error(), 0);

    auto manager = make();
    EXPECT_FALSE(manager->hasHotKey()) << "refused at construction";
    EXPECT_FALSE(manager->hasEventTap()) << "construction does not fall through to the tap";

    manager->updateHotkey(49, 768, false);
    EXPECT_FALSE(manager->hasHotKey());
    ASSERT_TRUE(manager->hasEventTap());

    // The tap sees the combination although the other client grabs it.
    keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    EXPECT_TRUE(seen(1, 1));
}

TEST_F(HotkeyManagerX11Test, LoneOptionWithEitherAltKey) {
    storeLoneOption();
    auto manager = make();
    ASSERT_TRUE(manager->hasEventTap());
    EXPECT_FALSE(manager->hasHotKey());

    for (unsigned alt : {XTestKeyboard::kLeftAlt, XTestKeyboard::kRightAlt}) {
        SCOPED_TRACE(alt);
        presses = releases = 0;
        keyboard.press(alt);
        EXPECT_TRUE(seen(1, 0));
        keyboard.release(alt);
        EXPECT_TRUE(seen(1, 1));
    }
}

TEST_F(HotkeyManagerX11Test, OtherModifiersWhileOptionIsHeldOrNot) {
    storeLoneOption();
    auto manager = make();
    struct Step {
        unsigned keycode;
        bool press;
        int presses, releases;  // totals after the step
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"shift during option: each change is another press",
         {{XTestKeyboard::kLeftAlt, true, 1, 0},
          {XTestKeyboard::kLeftShift, true, 2, 0},
          {XTestKeyboard::kLeftShift, false, 3, 0},
          {XTestKeyboard::kLeftAlt, false, 3, 1}}},
        {"shift alone: releases", {{XTestKeyboard::kLeftShift, true, 0, 1}, {XTestKeyboard::kLeftShift, false, 0, 2}}},
        {"right Alt let go while left is held: still down",
         {{XTestKeyboard::kLeftAlt, true, 1, 0},
          {XTestKeyboard::kRightAlt, true, 2, 0},
          {XTestKeyboard::kRightAlt, false, 3, 0},
          {XTestKeyboard::kLeftAlt, false, 3, 1}}},
        {"ordinary key during option reports nothing",
         {{XTestKeyboard::kLeftAlt, true, 1, 0},
          {XTestKeyboard::kA, true, 1, 0},
          {XTestKeyboard::kA, false, 1, 0},
          {XTestKeyboard::kLeftAlt, false, 1, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        presses = releases = 0;
        for (const auto& step : c.steps) {
            step.press ? keyboard.press(step.keycode) : keyboard.release(step.keycode);
            EXPECT_TRUE(seen(step.presses, step.releases))
                << "after key " << step.keycode << (step.press ? " down" : " up") << ": " << presses << "/" << releases;
        }
    }
}

// Alt held, then Backspace (the Delete key of the stored codes): a key combination, not the hotkey.
TEST_F(HotkeyManagerX11Test, AKeyWhileOptionIsHeldIsAKeyCombination) {
    constexpr unsigned kBackSpace = 22;
    storeLoneOption();
    auto manager = make();
    int combined = 0;
    manager->onHotkeyCombined = [&] { ++combined; };
    keyboard.press(XTestKeyboard::kLeftAlt);
    keyboard.press(kBackSpace);
    keyboard.release(kBackSpace);
    keyboard.release(XTestKeyboard::kLeftAlt);
    EXPECT_TRUE(seen(1, 1));
    EXPECT_EQ(combined, 1);

    // The same key with Alt up is nothing to the hotkey.
    keyboard.press(kBackSpace);
    keyboard.release(kBackSpace);
    keyboard.press(XTestKeyboard::kLeftAlt);
    keyboard.release(XTestKeyboard::kLeftAlt);
    EXPECT_TRUE(seen(2, 2));
    EXPECT_EQ(combined, 1);
}

TEST_F(HotkeyManagerX11Test, WithoutPermissionsTheFallbackShortcutWorks) {
    storeLoneOption();
    permissions->accessibility = false;
    permissions->inputMonitoring = false;
    auto manager = make();
    EXPECT_TRUE(manager->fallbackActive());
    EXPECT_TRUE(manager->hasHotKey());
    EXPECT_FALSE(manager->hasEventTap());

    keyboard.press(XTestKeyboard::kLeftAlt);
    keyboard.release(XTestKeyboard::kLeftAlt);
    keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
    keyboard.release(XTestKeyboard::kSpace);
    keyboard.releaseAll();
    EXPECT_TRUE(seen(1, 1));
    EXPECT_EQ(alerts->shown.size(), 1u);
}

}  // namespace
}  // namespace parloquin
