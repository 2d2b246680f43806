// In a Wayland session the desktop binds the hotkey: the manager asks its source for the stored
// keys, reports the source's presses and releases, and says what the source registered; without a
// source the desktop shortcut is the way. On X11 no source is asked.
#include <gtest/gtest.h>

#include "Parloquin/hotkeys/HotkeyManager.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace parloquin {
namespace {

using parloquin_test::drainEventLoop;

class FakeSource : public HotkeySource {
public:
    HotkeyRegistration registration() const override { return registered; }
    std::string trigger() const override { return boundTrigger; }
    std::string problem() const override { return {}; }
    HotkeyRegistration registered = HotkeyRegistration::portalPending;
    std::string boundTrigger;
};

struct Fixture {
    parloquin_test::FakeHotkeyDesktop desktop;
    parloquin_test::MemorySettings settings;
    std::vector<HotkeyTriple> asked;
    FakeSource* source = nullptr;
    bool offersSource = true;

    std::unique_ptr<HotkeyManager> manager(bool wayland) {
        HotkeyEnvironment environment = desktop.environment();
        environment.waylandSession = wayland;
        environment.desktopSource = [this](const HotkeyTriple& hotkey) -> std::unique_ptr<HotkeySource> {
            asked.push_back(hotkey);
            if (!offersSource) return nullptr;
            auto made = std::make_unique<FakeSource>();
            source = made.get();
            return made;
        };
        return std::make_unique<HotkeyManager>(settings, std::move(environment));
    }
};

TEST(HotkeyDesktopSource, AWaylandSessionTakesTheDesktopsBindingAndItsPresses) {
    Fixture f;
    f.settings.integers["primaryHotkeyModifiers"] = 0x1800;
    auto manager = f.manager(true);
    int presses = 0, releases = 0, changes = 0;
    manager->onHotkeyPressed = [&] { ++presses; };
    manager->onHotkeyReleased = [&] { ++releases; };
    manager->onRegistrationChanged = [&] { ++changes; };
    ASSERT_EQ(f.asked, (std::vector<HotkeyTriple>{{49, 0x1800, false}}));
    ASSERT_TRUE(f.source);
    EXPECT_EQ(manager->registration(), HotkeyRegistration::portalPending);

    f.source->registered = HotkeyRegistration::portal;
    f.source->boundTrigger = "Strg+Alt+Leertaste";
    f.source->onChanged();
    f.source->onPressed();
    f.source->onReleased();
    EXPECT_EQ(presses, 0) << "reported from the main loop, never inside the desktop's callback";
    drainEventLoop();
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(manager->registration(), HotkeyRegistration::portal);
    EXPECT_EQ(manager->desktopTrigger(), "Strg+Alt+Leertaste");

    // A new hotkey is asked for anew; while the page records one, no source holds the keys.
    manager->updateHotkey(40, 0x1200, false);
    EXPECT_EQ(f.asked.back(), (HotkeyTriple{40, 0x1200, false}));
    manager->suspendRegistration();
    EXPECT_EQ(manager->registration(), HotkeyRegistration::desktopShortcut);
    manager->resumeRegistration();
    EXPECT_EQ(f.asked.size(), 3u);

    // No source after all (the portal refused or is gone): the desktop shortcut.
    f.source->registered = HotkeyRegistration::desktopShortcut;
    EXPECT_EQ(manager->registration(), HotkeyRegistration::desktopShortcut);
}

TEST(HotkeyDesktopSource, WithoutAPortalTheDesktopShortcutAndOnX11NoSourceAtAll) {
    Fixture f;
    f.offersSource = false;
    auto wayland = f.manager(true);
    EXPECT_EQ(wayland->registration(), HotkeyRegistration::desktopShortcut);
    EXPECT_EQ(wayland->desktopTrigger(), "");
    wayland.reset();

    f.asked.clear();
    f.offersSource = true;
    auto x11 = f.manager(false);
    EXPECT_TRUE(f.asked.empty());
    EXPECT_EQ(x11->registration(), HotkeyRegistration::combination);
}

}  // namespace
}  // namespace parloquin
