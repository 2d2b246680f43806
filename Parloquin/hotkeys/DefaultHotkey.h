#pragma once

#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Platform/desktop/EventHotKey.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// The hotkey a new user starts with: Strg+Alt+Leertaste, which neither GNOME, KDE Plasma nor sway
// binds (GNOME takes Super+Space and Umschalt+Super+Space for the input sources and Alt+Space for
// the window menu, Plasma Alt+Space for KRunner). Users of the earlier default
// Umschalt+Super+Leertaste keep it.
struct DefaultHotkey {
    static constexpr const char* display = settings::kDefaultPrimaryHotkey;
    static constexpr HotkeyTriple values{49, platform::controlKey | platform::optionKey, false};
    static constexpr const char* earlierDisplay = "⇧⌘Space";
    static constexpr HotkeyTriple earlierValues{49, platform::cmdKey | platform::shiftKey, false};

    // Stores the hotkey for a user who has none stored, before the defaults are registered: the
    // default for a new user (no settings file yet), the earlier default for one who ran
    // Parloquin before and never chose one, so that nobody's key changes under them. A stored
    // hotkey is left as it is. False when a write failed.
    static bool storeForUserWithoutOne(platform::UserDefaults& defaults);
};

static_assert(DefaultHotkey::values.keyCode == settings::kDefaultPrimaryHotkeyKeyCode &&
                  DefaultHotkey::values.modifiers == settings::kDefaultPrimaryHotkeyModifiers,
              "the settings table registers the default hotkey");

}  // namespace parloquin
