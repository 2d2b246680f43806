#include <gtest/gtest.h>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/MacOSTerms.h"

namespace parloquin {
namespace {

using namespace std::chrono_literals;
using parloquin_test::drainEventLoop;
using parloquin_test::FakeHotkeyDesktop;
using parloquin_test::HotKeyRegistration;
using parloquin_test::MemorySettings;

const std::set<HotKeyRegistration> kFallbackOnly{{49, 768}};
const std::set<HotKeyRegistration> kNothing{};

struct Fixture {
    MemorySettings settings;
    FakeHotkeyDesktop desktop;

    std::unique_ptr<HotkeyManager> make() {
        return std::make_unique<HotkeyManager>(settings, desktop.environment());
    }
    void storeLoneOption() {
        settings.integers["primaryHotkeyKeyCode"] = 58;
        settings.integers["primaryHotkeyModifiers"] = 2048;
        settings.bools["primaryHotkeyIsSingleKey"] = true;
        settings.strings["primaryHotkey"] = "⌥";
    }
};

TEST(HotkeyFallback, PollingUntilThePermissionsArrive) {
    const struct {
        const char* name;
        int ticks;
        int grantBeforeTick;        // 0: never
        int secondRegisterAfterTick;  // 0: none
        bool tap;
        bool fallbackActive;
        bool polling;
        std::int64_t pollCount;
        std::set<HotKeyRegistration> hotKeys;
        int accessibilityChecks;
    } cases[] = {
        {"granted at the third tick", 3, 3, 0, true, false, false, 0, kNothing, 1 + 3 + 1},
        {"never granted: nine checks, the tenth tick stops", 10, 0, 0, false, true, false, 10, kFallbackOnly, 1 + 9},
        {"never granted: still polling after nine", 9, 0, 0, false, true, true, 9, kFallbackOnly, 1 + 9},
        {"ticks after the tenth change nothing", 14, 0, 0, false, true, false, 10, kFallbackOnly, 1 + 9},
        {"second registration while polling", 2, 0, 1, false, true, true, 2, kFallbackOnly, 1 + 1 + 1 + 1},
        {"second registration, then granted", 4, 4, 2, true, false, false, 0, kNothing, 1 + 2 + 1 + 1 + 1 + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.storeLoneOption();
        f.desktop.permissions->accessibility = false;
        f.desktop.permissions->inputMonitoring = false;
        auto manager = f.make();
        EXPECT_TRUE(manager->fallbackActive());
        EXPECT_EQ(f.desktop.target->registered, kFallbackOnly);
        ASSERT_EQ(f.desktop.timers->intervals, (std::vector<std::chrono::milliseconds>{30s}));

        for (int tick = 1; tick <= c.ticks; ++tick) {
            if (tick == c.grantBeforeTick) {
                f.desktop.permissions->accessibility = true;
                f.desktop.permissions->inputMonitoring = true;
            }
            f.desktop.timers->tick();
            if (tick == c.secondRegisterAfterTick) manager->registerEventTap();
        }
        drainEventLoop();

        EXPECT_EQ(manager->hasEventTap(), c.tap);
        if (c.tap) {
            EXPECT_EQ(f.desktop.taps->current()->mask, platform::CGEventMaskBit(platform::CGEventType::flagsChanged) |
                                                            platform::CGEventMaskBit(platform::CGEventType::keyDown));
        }
        EXPECT_EQ(manager->fallbackActive(), c.fallbackActive);
        EXPECT_EQ(manager->isPolling(), c.polling);
        EXPECT_EQ(f.desktop.timers->running(), c.polling ? 1 : 0);
        EXPECT_EQ(f.desktop.timers->intervals.size(), 1u) << "one polling timer only";
        EXPECT_EQ(manager->fallbackPollCount(), c.pollCount);
        EXPECT_EQ(f.desktop.target->registered, c.hotKeys);
        EXPECT_EQ(f.desktop.alerts->shown.size(), 1u) << "the fallback alert comes once";
        EXPECT_EQ(f.desktop.permissions->checks, c.accessibilityChecks);
    }
}

TEST(HotkeyFallback, UnregisteringEndsPollingButKeepsTheCount) {
    Fixture f;
    f.storeLoneOption();
    f.desktop.permissions->accessibility = false;
    auto manager = f.make();
    f.desktop.timers->tick();
    f.desktop.timers->tick();
    manager->unregisterHotkey();
    EXPECT_FALSE(manager->fallbackActive());
    EXPECT_FALSE(manager->isPolling());
    EXPECT_EQ(manager->fallbackPollCount(), 2);
    EXPECT_EQ(f.desktop.target->registered, kNothing);
    f.desktop.timers->tick();
    EXPECT_EQ(manager->fallbackPollCount(), 2);
    // The next polling starts from zero.
    manager->registerEventTap();
    EXPECT_EQ(manager->fallbackPollCount(), 0);
}

TEST(HotkeyFallback, FallbackAlertSaysWhatIsTrue) {
    const struct {
        const char* name;
        bool fallbackRefused;
        std::optional<std::string> display;
        std::string message;
        std::vector<std::string> contains;
        std::string absent;
    } cases[] = {
        {"fallback registered", false, "⌥", "Parloquin ist bereit (Ersatz-Tastenkürzel)",
         {"• Ersatz-Kürzel (Umschalt+Super+Leertaste): ✅ einsatzbereit\n",
          "• Dein Kürzel (Alt): ⏳ wartet auf eine X11-Sitzung mit XInput 2\n",
          "Drücke Umschalt+Super+Leertaste, um jetzt eine Aufnahme zu starten"},
         "❌"},
        {"no display string stored", false, std::nullopt, "Parloquin ist bereit (Ersatz-Tastenkürzel)",
         {"• Dein Kürzel (Strg+Alt+Leertaste): ⏳"}, "❌"},
        {"fallback refused", true, "⌥", "Parloquin hat kein globales Tastenkürzel",
         {"Dein gewähltes Kürzel braucht eine X11-Sitzung, deren X-Server XInput 2 anbietet (Wayland erlaubt das "
          "nicht; eine Berechtigung dafür gibt es unter Linux nicht), und das Ersatz-Tastenkürzel konnte nicht "
          "registriert werden.",
          "• Ersatz-Kürzel (Umschalt+Super+Leertaste): ❌ nicht verfügbar\n",
          "• Dein Kürzel (Alt): ⏳ wartet auf eine X11-Sitzung mit XInput 2\n",
          "Starte Aufnahmen über das Menü, oder melde dich für den Halten-Modus in einer X11-Sitzung mit XInput 2 "
          "an."},
         "einsatzbereit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.storeLoneOption();
        if (c.display) f.settings.strings["primaryHotkey"] = *c.display; else f.settings.strings.erase("primaryHotkey");
        if (c.fallbackRefused) f.desktop.target->refused.insert({49, 768});
        f.desktop.permissions->accessibility = false;
        auto manager = f.make();
        EXPECT_TRUE(manager->fallbackActive());
        EXPECT_TRUE(f.desktop.alerts->shown.empty()) << "shown from the loop, not inside registration";
        drainEventLoop();
        ASSERT_EQ(f.desktop.alerts->shown.size(), 1u);
        const Alert& alert = f.desktop.alerts->shown[0];
        EXPECT_EQ(alert.style, AlertStyle::informational);
        EXPECT_EQ(alert.messageText, c.message);
        EXPECT_EQ(alert.buttons, (std::vector<std::string>{"OK"}));
        for (const auto& part : c.contains) EXPECT_NE(alert.informativeText.find(part), std::string::npos) << part;
        EXPECT_EQ(alert.informativeText.find(c.absent), std::string::npos);
        // This desktop has no permission to grant: the alert names what the session must offer.
        EXPECT_EQ(testsupport::macOSTermsIn(alert.messageText + alert.informativeText), std::vector<std::string>{});
    }
}

TEST(HotkeyFallback, FallbackAlertTextInFull) {
    Fixture f;
    f.storeLoneOption();
    f.desktop.permissions->accessibility = false;
    auto manager = f.make();
    drainEventLoop();
    ASSERT_EQ(f.desktop.alerts->shown.size(), 1u);
    EXPECT_EQ(f.desktop.alerts->shown[0].informativeText,
              "Parloquin nutzt das Ersatz-Tastenkürzel, weil dein gewähltes Kürzel eine X11-Sitzung braucht, deren "
              "X-Server XInput 2 anbietet (Wayland erlaubt das nicht; eine Berechtigung dafür gibt es unter Linux "
              "nicht).\n\nAktueller Stand:\n• Ersatz-Kürzel (Umschalt+Super+Leertaste): ✅ einsatzbereit\n• Dein "
              "Kürzel (Alt): ⏳ wartet auf eine X11-Sitzung mit XInput 2\n\nDrücke Umschalt+Super+Leertaste, um "
              "jetzt eine Aufnahme zu starten, oder melde dich für den Halten-Modus in einer X11-Sitzung mit XInput 2 "
              "an.");
}

TEST(HotkeyFallback, AccessibilityPromptRaisesAnAccessoryAppForTenSeconds) {
    const struct {
        const char* name;
        ActivationPolicy before;
        bool titledWindow;
        ActivationPolicy afterDelay;
        std::size_t delays;
    } cases[] = {
        {"accessory, no window", ActivationPolicy::accessory, false, ActivationPolicy::accessory, 1},
        {"accessory, titled window open", ActivationPolicy::accessory, true, ActivationPolicy::regular, 1},
        {"regular already", ActivationPolicy::regular, false, ActivationPolicy::regular, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.storeLoneOption();
        f.desktop.permissions->accessibility = false;
        f.desktop.application->policy = c.before;
        auto manager = f.make();
        EXPECT_EQ(f.desktop.permissions->prompts, 1);
        EXPECT_EQ(f.desktop.application->activations, 1);
        EXPECT_EQ(f.desktop.application->policy, ActivationPolicy::regular);
        ASSERT_EQ(f.desktop.timers->delays.size(), c.delays);
        if (c.delays) {
            EXPECT_EQ(f.desktop.timers->delays[0], 10s);
        }
        f.desktop.application->titledWindowVisible = c.titledWindow;
        f.desktop.timers->runDelayed();
        EXPECT_EQ(f.desktop.application->policy, c.afterDelay);
    }
}

TEST(HotkeyFallback, InputMonitoringMissingForALoneModifier) {
    const struct {
        const char* name;
        std::uint16_t keyCode;
        std::uint32_t modifiers;
        std::string display;
        std::string keyName;
        std::string glyph;
    } cases[] = {
        {"option", 58, 2048, "⌥", "Alt (⌥)", "⌥"},
        {"command", 55, 256, "⌘", "Super (⌘)", "⌘"},
        {"control", 59, 4096, "⌃", "Control (⌃)", "⌃"},
        {"shift", 56, 512, "⇧", "Shift (⇧)", "⇧"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.desktop.permissions->inputMonitoring = false;
        auto manager = f.make();
        f.settings.strings["primaryHotkey"] = c.display;
        manager->updateHotkey(c.keyCode, c.modifiers, true);
        EXPECT_TRUE(manager->fallbackActive());
        EXPECT_EQ(f.desktop.target->registered, kFallbackOnly);
        EXPECT_FALSE(manager->hasEventTap());
        EXPECT_FALSE(manager->isPolling());
        EXPECT_TRUE(f.desktop.timers->intervals.empty());
        drainEventLoop();
        ASSERT_EQ(f.desktop.alerts->shown.size(), 1u);
        const Alert& alert = f.desktop.alerts->shown[0];
        EXPECT_EQ(alert.style, AlertStyle::warning);
        EXPECT_EQ(alert.messageText, "Input Monitoring Permission Required");
        EXPECT_EQ(alert.informativeText,
                  "To use hold-to-record mode with the " + c.keyName +
                      " key, you need to grant Input Monitoring permission.\n\nThis is a Linux desktop requirement "
                      "for monitoring single keys.\n\nCurrent status:\n• Toggle mode (⇧⌘Space): ✅ Working\n• "
                      "Hold-to-record (" +
                      c.glyph +
                      "): ❌ Requires Input Monitoring\n\nClick \"Open System Settings\" to grant permission, or "
                      "continue using the fallback hotkey.");
        EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Open System Settings", "Continue with ⇧⌘Space"}));
    }
}

TEST(HotkeyFallback, InputMonitoringAlertWhenTheFallbackIsRefused) {
    Fixture f;
    f.storeLoneOption();
    f.desktop.permissions->inputMonitoring = false;
    f.desktop.target->refused.insert({49, 768});
    auto manager = f.make();
    EXPECT_FALSE(manager->fallbackActive());
    drainEventLoop();
    ASSERT_EQ(f.desktop.alerts->shown.size(), 1u);
    const Alert& alert = f.desktop.alerts->shown[0];
    EXPECT_NE(alert.informativeText.find("• Toggle mode (⇧⌘Space): ❌ Not available\n"), std::string::npos);
    EXPECT_EQ(alert.informativeText.find("✅"), std::string::npos);
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Open System Settings", "Continue"}));
}

TEST(HotkeyFallback, OpenSystemSettingsTriesTheAddressesInOrder) {
    const std::vector<std::string> all = {
        "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent",
        "x-apple.systempreferences:com.apple.preference.security?Privacy_InputMonitoring",
        "x-apple.systempreferences:com.apple.preference.security?Privacy",
        "x-apple.systempreferences:com.apple.preference.security",
    };
    const struct {
        const char* name;
        int response;
        bool opens;
        std::vector<std::string> opened;
    } cases[] = {
        {"none opens: last resort too", alertFirstButtonReturn, false, all},
        {"the first opens", alertFirstButtonReturn, true, {all[0]}},
        {"continue", alertFirstButtonReturn + 1, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.storeLoneOption();
        f.desktop.permissions->inputMonitoring = false;
        f.desktop.alerts->response = c.response;
        f.desktop.openSucceeds = c.opens;
        auto manager = f.make();
        drainEventLoop();
        EXPECT_EQ(f.desktop.opened, c.opened);
    }
}

TEST(HotkeyFallback, ManagerGoneWhileTheAlertIsOpen) {
    Fixture f;
    f.storeLoneOption();
    f.desktop.permissions->inputMonitoring = false;
    f.desktop.alerts->response = alertFirstButtonReturn;
    auto manager = f.make();
    f.desktop.alerts->duringModal = [&] { manager.reset(); };
    drainEventLoop();
    EXPECT_EQ(f.desktop.alerts->shown.size(), 1u);
    EXPECT_TRUE(f.desktop.opened.empty());
}

}  // namespace
}  // namespace parloquin
