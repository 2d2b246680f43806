#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "Platform/desktop/CGEvent.h"

namespace parloquin {

// One of the four modifiers a hotkey is made of, in every form it takes: the event flag a tap or
// the recorder sees, the glyph it is shown as, its bit in a stored modifier mask, the key code
// stored for it when it is held alone, and its name in the alerts.
struct HotkeyModifier {
    platform::CGEventFlags flag;
    const char* glyph;
    std::uint32_t carbonBit;
    std::uint16_t loneKeyCode;
    const char* name;     // in the alerts: "Alt (⌥)"
    const char* keyName;  // on the key of a German Linux keyboard: "Strg", "Alt", "Umschalt", "Super"

    // In the order their glyphs are written: ⌃ ⌥ ⇧ ⌘.
    static const std::array<HotkeyModifier, 4>& all();
    // The modifier whose bit is the whole mask; none for any other mask.
    static const HotkeyModifier* forCarbonMask(std::uint32_t modifiers);
    // The glyphs of the mask's modifiers, in display order.
    static std::string glyphs(std::uint32_t modifiers);
    // The mask of the modifiers whose flags are set.
    static std::uint32_t carbonMask(platform::CGEventFlags flags);
    // Every modifier of the mask has its flag set (others may be set too).
    static bool held(std::uint32_t modifiers, platform::CGEventFlags flags);
};

}  // namespace parloquin
