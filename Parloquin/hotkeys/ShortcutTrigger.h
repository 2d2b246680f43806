#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Parloquin/hotkeys/HotkeyTriple.h"

namespace parloquin {

// A stored hotkey written for the desktops that bind it themselves, with X keysym names.
struct ShortcutTrigger {
    // As the desktop portal's preferred trigger (the XDG shortcut format): "CTRL+ALT+space";
    // a lone modifier is its left key: "Alt_L". Empty for a key no keysym is known for.
    static std::string portal(const HotkeyTriple& hotkey);
    // As sway's bindsym takes it: "Ctrl+Alt+space", "Mod4+Shift+space"; a lone modifier "Alt_L".
    static std::string sway(const HotkeyTriple& hotkey);
    // The X keysym name of a key code ("space", "a", "BackSpace"); empty when there is none.
    static std::string keysym(std::uint16_t keyCode);
    // The keys a display text names ("⌃⌥Space", "⌥"); none for a text that names no hotkey.
    static std::optional<HotkeyTriple> fromDisplay(std::string_view display);
};

}  // namespace parloquin
