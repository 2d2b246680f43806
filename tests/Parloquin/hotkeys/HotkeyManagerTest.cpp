#include "Parloquin/hotkeys/HotkeyManager.h"

#include <gtest/gtest.h>

#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;
using parloquin_test::FakeDesktop;
using parloquin_test::HotKeyRegistration;
using parloquin_test::MemorySettings;
using platform::CGEvent;
using platform::CGEventMaskBit;
using platform::CGEventType;

constexpr platform::CGEventFlags kCmd = platform::kCGEventFlagMaskCommand, kShift = platform::kCGEventFlagMaskShift,
                                 kAlt = platform::kCGEventFlagMaskAlternate, kCtrl = platform::kCGEventFlagMaskControl;
const platform::CGEventMask kFlagsMask = CGEventMaskBit(CGEventType::flagsChanged);
const platform::CGEventMask kKeysMask = CGEventMaskBit(CGEventType::keyDown) | CGEventMaskBit(CGEventType::keyUp);

struct Fixture {
    MemorySettings settings;
    FakeDesktop desktop;
    std::string log;  // P for a press, R for a release, in the order reported

    std::unique_ptr<HotkeyManager> make() {
        auto manager = std::make_unique<HotkeyManager>(settings, desktop.environment());
        manager->onHotkeyPressed = [this] { log += "P"; };
        manager->onHotkeyReleased = [this] { log += "R"; };
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
        {"stored lone modifier", false, 58, 2048, true, false, Path::tap, kFlagsMask},
        {"stored combination refused stays inactive", false, 49, 768, false, true, Path::none, 0},
        {"combination", true, 40, 256, false, false, Path::hotKey, 0},
        {"lone modifier never becomes a hot key", true, 58, 2048, true, false, Path::tap, kFlagsMask},
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

}  // namespace
}  // namespace parloquin
