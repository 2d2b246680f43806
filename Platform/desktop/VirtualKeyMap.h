#pragma once

#include <cstdint>
#include <optional>

#include "Platform/desktop/CGEvent.h"

namespace platform {

// Virtual key codes (the stored form of a hotkey) and X11 keycodes, matched by physical key position.
// X11 keycodes here are the evdev ones that XKB uses (evdev code + 8), so a key keeps its place
// whatever layout is active: virtual code 12 is the key right of Tab, "Q" on a US keyboard.
class VirtualKeyMap {
public:
    static std::optional<std::uint8_t> x11Keycode(std::uint32_t virtualKeyCode);
    static std::optional<std::uint16_t> virtualKeyCode(std::uint32_t x11Keycode);
    // The event flag that a modifier key at this position sets; 0 for every other key.
    static CGEventFlags modifierFlag(std::uint32_t x11Keycode);
};

}  // namespace platform
