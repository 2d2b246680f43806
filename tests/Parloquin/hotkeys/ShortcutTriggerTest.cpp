// The stored hotkey as the desktops that bind it themselves write it.
#include "Parloquin/hotkeys/ShortcutTrigger.h"

#include <gtest/gtest.h>

#include "Parloquin/hotkeys/KeyNames.h"

namespace parloquin {
namespace {

TEST(ShortcutTrigger, ThePortalsAndSwaysSpellingOfEachHotkey) {
    struct Case {
        const char* display;
        const char* portal;
        const char* sway;
    };
    const Case cases[] = {
        {"⌃⌥Space", "CTRL+ALT+space", "Ctrl+Alt+space"},
        {"⇧⌘Space", "SHIFT+LOGO+space", "Shift+Mod4+space"},
        {"⌃⇧K", "CTRL+SHIFT+k", "Ctrl+Shift+k"},
        {"⌥Delete", "ALT+BackSpace", "Alt+BackSpace"},
        {"⌘ForwardDelete", "LOGO+Delete", "Mod4+Delete"},
        {"⌃F12", "CTRL+F12", "Ctrl+F12"},
        {"⌃←", "CTRL+Left", "Ctrl+Left"},
        {"⌥/", "ALT+slash", "Alt+slash"},
        {"⌃1", "CTRL+1", "Ctrl+1"},
        // A lone modifier is its left key.
        {"⌥", "Alt_L", "Alt_L"},
        {"⌘", "Super_L", "Super_L"},
        {"⌃", "Control_L", "Control_L"},
        {"⇧", "Shift_L", "Shift_L"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display);
        const auto keys = ShortcutTrigger::fromDisplay(c.display);
        ASSERT_TRUE(keys);
        if (const auto preset = hotkeyPresetValues(c.display)) {
            EXPECT_EQ(*keys, *preset);
        }
        EXPECT_EQ(ShortcutTrigger::portal(*keys), c.portal);
        EXPECT_EQ(ShortcutTrigger::sway(*keys), c.sway);
    }
    for (const char* none : {"", "⌥⌘", "Leertaste", "⌃Spaces"}) EXPECT_FALSE(ShortcutTrigger::fromDisplay(none)) << none;
    // A key without a name has no trigger.
    EXPECT_EQ(ShortcutTrigger::portal({10, 0x1000, false}), "");
}

}  // namespace
}  // namespace parloquin
