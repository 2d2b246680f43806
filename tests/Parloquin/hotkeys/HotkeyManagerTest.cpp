#include "Parloquin/hotkeys/HotkeyManager.h"

#include <gtest/gtest.h>

#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::FakeHotkeyDesktop;
using parloquin_test::HotKeyRegistration;
using parloquin_test::MemorySettings;
using platform::CGEvent;
using platform::CGEventMaskBit;
using platform::CGEventType;

constexpr platform::CGEventFlags kCmd = platform::kCGEventFlagMaskCommand, kShift = platform::kCGEventFlagMaskShift,
                                 kAlt = platform::kCGEventFlagMaskAlternate, kCtrl = platform::kCGEventFlagMaskControl;
// A lone modifier's tap sees modifier changes, and keys going down to tell a key combination.
const platform::CGEventMask kLoneMask = CGEventMaskBit(CGEventType::flagsChanged) | CGEventMaskBit(CGEventType::keyDown);
const platform::CGEventMask kKeysMask = CGEventMaskBit(CGEventType::keyDown) | CGEventMaskBit(CGEventType::keyUp);

struct Fixture {
    MemorySettings settings;
    FakeHotkeyDesktop desktop;
    std::string log;  // P for a press, R for a release, in the order reported

    std::unique_ptr<HotkeyManager> make() {
        auto manager = std::make_unique<HotkeyManager>(settings, desktop.environment());
        manager->onHotkeyPressed = [this] { log += "P"; };
        manager->onHotkeyReleased = [this] { log += "R"; };
        manager->onHotkeyCombined = [this] { log += "C"; };
        manager->onCancelPressed = [this] { log += "X"; };
        return manager;
    }
};

TEST(HotkeyManager, RegistrationPaths) {
    enum class Path { hotKey, tap, none };
    const struct {
        const char* name;
        bool throughUpdate;  // else: stored, registered at construction
        std::uint32_t keyCode, modifiers;
        bool single;
        bool refused;
        Path path;
        platform::CGEventMask mask;
    } cases[] = {
        {"stored combination", false, 49, 768, false, false, Path::hotKey, 0},
        {"stored lone modifier", false, 58, 2048, true, false, Path::tap, kLoneMask},
        {"stored combination refused stays inactive", false, 49, 768, false, true, Path::none, 0},
        {"combination", true, 40, 256, false, false, Path::hotKey, 0},
        {"lone modifier never becomes a hot key", true, 58, 2048, true, false, Path::tap, kLoneMask},
        {"refused combination falls through to the tap", true, 49, 768, false, true, Path::tap, kKeysMask},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        if (c.refused) f.desktop.target->refused.insert({c.keyCode, c.modifiers});
        std::unique_ptr<HotkeyManager> manager;
        if (c.throughUpdate) {
            f.settings.integers["primaryHotkeyKeyCode"] = 122;  // something else first
            manager = f.make();
            manager->updateHotkey(std::uint16_t(c.keyCode), c.modifiers, c.single);
            EXPECT_EQ(f.settings.integers["primaryHotkeyKeyCode"], c.keyCode);
            EXPECT_EQ(f.settings.integers["primaryHotkeyModifiers"], c.modifiers);
            EXPECT_EQ(f.settings.bools["primaryHotkeyIsSingleKey"], c.single);
        } else {
            f.settings.integers["primaryHotkeyKeyCode"] = c.keyCode;
            f.settings.integers["primaryHotkeyModifiers"] = c.modifiers;
            f.settings.bools["primaryHotkeyIsSingleKey"] = c.single;
            manager = f.make();
        }
        EXPECT_EQ(manager->currentKeyCode(), c.keyCode);
        EXPECT_EQ(manager->currentModifiers(), c.modifiers);
        EXPECT_EQ(manager->isSingleKey(), c.single);

        std::set<HotKeyRegistration> expectedKeys;
        if (c.path == Path::hotKey) expectedKeys.insert({c.keyCode, c.modifiers});
        EXPECT_EQ(f.desktop.target->registered, expectedKeys);
        EXPECT_EQ(manager->hasHotKey(), c.path == Path::hotKey);
        EXPECT_EQ(manager->hasEventTap(), c.path == Path::tap);
        if (c.path == Path::tap) {
            ASSERT_TRUE(f.desktop.taps->current());
            EXPECT_EQ(f.desktop.taps->current()->mask, c.mask);
            EXPECT_TRUE(f.desktop.taps->current()->enabled);
        }
        EXPECT_FALSE(manager->fallbackActive());
        EXPECT_TRUE(f.desktop.alerts->shown.empty());
    }
}

TEST(HotkeyManager, UpdateReleasesTheOldRegistrationFirst) {
    Fixture f;
    auto manager = f.make();
    manager->updateHotkey(58, 2048, true);
    EXPECT_TRUE(f.desktop.target->registered.empty());
    manager->updateHotkey(49, 768, false);
    EXPECT_TRUE(f.desktop.taps->live.empty());
    EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}}));
    // Registering the same combination again works: the old hot key is gone before the new one comes.
    manager->updateHotkey(49, 768, false);
    EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}}));
    EXPECT_EQ(f.desktop.target->handlerCount(), 1u);
    manager->unregisterHotkey();
    EXPECT_TRUE(f.desktop.target->registered.empty());
    EXPECT_EQ(f.desktop.target->handlerCount(), 0u);
}

TEST(HotkeyManager, StoredValuesOutOfRangeUseTheFallbackShortcut) {
    const std::pair<std::int64_t, std::int64_t> cases[] = {{-1, 768}, {70000, 768}, {49, -256}, {49, 1LL << 33}};
    for (auto [keyCode, modifiers] : cases) {
        SCOPED_TRACE(testing::Message() << keyCode << "/" << modifiers);
        Fixture f;
        f.settings.integers["primaryHotkeyKeyCode"] = keyCode;
        f.settings.integers["primaryHotkeyModifiers"] = modifiers;
        f.settings.bools["primaryHotkeyIsSingleKey"] = true;
        auto manager = f.make();
        EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}}));
        EXPECT_FALSE(manager->isSingleKey());
        EXPECT_EQ(f.settings.integers["primaryHotkeyKeyCode"], keyCode) << "the stored value is left as it was";
    }
}

TEST(HotkeyManager, HotKeyPressAndReleaseAreReportedLaterFromTheLoop) {
    Fixture f;
    auto manager = f.make();
    f.desktop.target->fire(platform::kEventHotKeyPressed);
    EXPECT_EQ(f.log, "") << "never inside the desktop's callback";
    drainEventLoop();
    EXPECT_EQ(f.log, "P");
    f.desktop.target->fire(platform::kEventHotKeyReleased);
    drainEventLoop();
    EXPECT_EQ(f.log, "PR");
    f.desktop.target->fire(platform::kEventHotKeyPressed, {platform::fourCharCode("XXXX"), 1});
    f.desktop.target->fire(platform::kEventHotKeyPressed, {platform::fourCharCode("SSPK"), 2});
    drainEventLoop();
    EXPECT_EQ(f.log, "PR") << "another hot key's events are not ours";
}

TEST(HotkeyManager, NothingIsReportedOnceTheManagerIsGone) {
    Fixture f;
    auto manager = f.make();
    f.desktop.target->fire(platform::kEventHotKeyPressed);
    manager.reset();
    drainEventLoop();
    EXPECT_EQ(f.log, "");
}

TEST(HotkeyManager, CombinationOnTheTap) {
    struct Step {
        CGEventType type;
        std::uint16_t keyCode;
        platform::CGEventFlags flags;
        bool autorepeat;
        bool passes;
    };
    const auto down = CGEventType::keyDown;
    const auto up = CGEventType::keyUp;
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::string reported;
    } cases[] = {
        {"press and release", {{down, 49, kShift | kCmd, false, false}, {up, 49, kShift | kCmd, false, true}}, "PR"},
        {"extra modifiers allowed", {{down, 49, kShift | kCmd | kAlt, false, false}, {up, 49, 0, false, true}}, "PR"},
        {"held key repeats once reported, swallowed throughout",
         {{down, 49, kShift | kCmd, false, false},
          {down, 49, kShift | kCmd, true, false},
          {down, 49, kShift | kCmd, true, false},
          {up, 49, kShift | kCmd, false, true}},
         "PR"},
        {"missing modifier", {{down, 49, kShift, false, true}, {up, 49, kShift, false, true}}, ""},
        {"other key", {{down, 0, kShift | kCmd, false, true}, {up, 0, kShift | kCmd, false, true}}, ""},
        {"key-up alone", {{up, 49, kShift | kCmd, false, true}}, ""},
        {"two presses", {{down, 49, kShift | kCmd, false, false}, {up, 49, kCmd, false, true},
                         {down, 49, kShift | kCmd, false, false}, {up, 49, 0, false, true}}, "PRPR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.desktop.target->refused.insert({49, 768});
        auto manager = f.make();
        manager->updateHotkey(49, 768, false);
        ASSERT_TRUE(manager->hasEventTap());
        for (const auto& s : c.steps)
            EXPECT_EQ(f.desktop.taps->send(CGEvent{s.type, s.keyCode, s.flags, s.autorepeat}), s.passes);
        drainEventLoop();
        EXPECT_EQ(f.log, c.reported);
    }
}

TEST(HotkeyManager, LoneModifierReportsEveryFlagsChange) {
    const struct {
        const char* name;
        std::uint16_t keyCode;
        std::uint32_t modifiers;
        std::vector<platform::CGEventFlags> flags;  // flags after each change
        std::string reported;
    } cases[] = {
        {"option down and up", 58, 2048, {kAlt, 0}, "PR"},
        {"shift pressed and let go while option is held", 58, 2048, {kAlt, kAlt | kShift, kAlt, 0}, "PPPR"},
        {"shift alone while option is up", 58, 2048, {kShift, 0}, "RR"},
        {"command", 55, 256, {kCmd, kCmd | kCtrl, 0}, "PPR"},
        {"control", 59, 4096, {kCtrl, 0}, "PR"},
        {"shift", 56, 512, {kShift, 0}, "PR"},
        {"a mask of two modifiers matches nothing", 58, 2048 | 512, {kAlt | kShift, 0}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto manager = f.make();
        manager->updateHotkey(c.keyCode, c.modifiers, true);
        for (auto flags : c.flags)
            EXPECT_TRUE(f.desktop.taps->send(CGEvent{CGEventType::flagsChanged, c.keyCode, flags, false}))
                << "modifier changes always pass on";
        drainEventLoop();
        EXPECT_EQ(f.log, c.reported);
    }
}

TEST(HotkeyManager, TapThatCannotBeCreatedLeavesNothingRegistered) {
    Fixture f;
    f.desktop.taps->fails = true;
    auto manager = f.make();
    manager->updateHotkey(58, 2048, true);
    EXPECT_EQ(f.desktop.taps->created, 1);
    EXPECT_FALSE(manager->hasEventTap());
    EXPECT_FALSE(manager->hasHotKey());
    EXPECT_TRUE(f.desktop.alerts->shown.empty());
}

TEST(HotkeyManager, AKeyPressedWhileTheLoneModifierIsHeldMakesItACombination) {
    const struct {
        const char* name;
        std::vector<CGEvent> events;
        std::string reported;
    } cases[] = {
        {"option, delete, release",
         {{CGEventType::flagsChanged, 58, kAlt, false}, {CGEventType::keyDown, 51, kAlt, false},
          {CGEventType::keyDown, 51, kAlt, true}, {CGEventType::flagsChanged, 58, 0, false}},
         "PCR"},
        {"a key while option is up", {{CGEventType::keyDown, 51, 0, false}}, ""},
        {"a key with another modifier", {{CGEventType::keyDown, 51, kShift, false}}, ""},
        {"two keys while held", {{CGEventType::flagsChanged, 58, kAlt, false}, {CGEventType::keyDown, 51, kAlt, false},
                                 {CGEventType::keyDown, 2, kAlt, false}}, "PCC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        auto manager = f.make();
        manager->updateHotkey(58, 2048, true);
        for (const auto& event : c.events) EXPECT_TRUE(f.desktop.taps->send(event)) << "nothing is swallowed";
        drainEventLoop();
        EXPECT_EQ(f.log, c.reported);
    }
}

// While suspended, nothing is registered and the keys reach the focused window; resuming brings back
// exactly the registration there was, without another alert or a second polling timer.
TEST(HotkeyManager, SuspensionLetsGoAndResumingRestoresTheRegistration) {
    const struct {
        const char* name;
        std::uint16_t keyCode;
        std::uint32_t modifiers;
        bool single;
        bool accessibility;
        std::set<HotKeyRegistration> registered;  // before and after
        bool tap;
    } cases[] = {
        {"combination", 40, 0x900, false, true, {{40, 0x900}}, false},
        {"lone modifier on the tap", 58, 2048, true, true, {}, true},
        {"fallback while Accessibility is missing", 58, 2048, true, false, {{49, 768}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.desktop.permissions->accessibility = c.accessibility;
        auto manager = f.make();
        manager->updateHotkey(c.keyCode, c.modifiers, c.single);
        drainEventLoop();
        const std::size_t alerts = f.desktop.alerts->shown.size();
        const int timers = f.desktop.timers->running();
        ASSERT_EQ(f.desktop.target->registered, c.registered);
        ASSERT_EQ(manager->hasEventTap(), c.tap);

        manager->suspendRegistration();
        EXPECT_TRUE(manager->isSuspended());
        EXPECT_TRUE(f.desktop.target->registered.empty());
        EXPECT_FALSE(manager->hasEventTap());
        f.desktop.target->fire(platform::kEventHotKeyPressed);
        f.desktop.timers->tick();  // no switch to the tap while suspended
        drainEventLoop();
        EXPECT_EQ(f.log, "");

        manager->resumeRegistration();
        drainEventLoop();
        EXPECT_FALSE(manager->isSuspended());
        EXPECT_EQ(f.desktop.target->registered, c.registered);
        EXPECT_EQ(manager->hasEventTap(), c.tap);
        EXPECT_EQ(f.desktop.alerts->shown.size(), alerts);
        EXPECT_EQ(f.desktop.timers->running(), timers);
        manager->resumeRegistration();  // a second resume changes nothing
        EXPECT_EQ(f.desktop.target->registered, c.registered);
    }
}

TEST(HotkeyManager, ANewHotkeyEndsTheSuspension) {
    Fixture f;
    auto manager = f.make();
    manager->suspendRegistration();
    manager->updateHotkey(40, 0x900, false);
    EXPECT_FALSE(manager->isSuspended());
    EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{40, 0x900}}));
    manager->resumeRegistration();  // the old ⇧⌘Space does not come back beside it
    EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{40, 0x900}}));
}

TEST(HotkeyManager, CancelKeyIsTakenOnlyWhileActive) {
    const platform::EventHotKeyID cancelID{platform::fourCharCode("SSPK"), 2};
    const struct {
        const char* choice;  // absent: nothing stored, the registered default
        std::set<HotKeyRegistration> taken;
    } cases[] = {
        {nullptr, {{53, 0}}},
        {"Escape", {{53, 0}}},
        {"⌘.", {{47, 256}}},
        {"none", {}},
        {"F13", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice ? c.choice : "(nothing stored)");
        Fixture f;
        if (c.choice) f.settings.strings["cancelHotkey"] = c.choice;
        auto manager = f.make();
        const auto hotkey = f.desktop.target->registered;
        EXPECT_FALSE(manager->hasCancelKey());

        manager->activateCancelKey();
        auto expected = hotkey;
        expected.insert(c.taken.begin(), c.taken.end());
        EXPECT_EQ(f.desktop.target->registered, expected);
        EXPECT_EQ(manager->hasCancelKey(), !c.taken.empty());
        if (!c.taken.empty()) {
            f.desktop.target->fire(platform::kEventHotKeyPressed, cancelID);
            f.desktop.target->fire(platform::kEventHotKeyReleased, cancelID);
            drainEventLoop();
            EXPECT_EQ(f.log, "X") << "the cancel key is no press of the hotkey";
        }

        // Suspended with the hotkey and back.
        manager->suspendRegistration();
        EXPECT_TRUE(f.desktop.target->registered.empty());
        manager->resumeRegistration();
        EXPECT_EQ(f.desktop.target->registered, expected);

        manager->deactivateCancelKey();
        EXPECT_EQ(f.desktop.target->registered, hotkey);
        f.desktop.target->fire(platform::kEventHotKeyPressed, cancelID);
        drainEventLoop();
        EXPECT_EQ(f.log, c.taken.empty() ? "" : "X");
    }
}

TEST(HotkeyManager, CancelKeyDeactivatedWhileSuspendedStaysAway) {
    Fixture f;
    auto manager = f.make();
    manager->activateCancelKey();
    manager->suspendRegistration();
    manager->deactivateCancelKey();
    manager->resumeRegistration();
    EXPECT_FALSE(manager->hasCancelKey());
    EXPECT_EQ(f.desktop.target->registered, (std::set<HotKeyRegistration>{{49, 768}}));
}

}  // namespace
}  // namespace parloquin
