#pragma once

#include <cstdint>

namespace parloquin {

// A hotkey as it is registered and stored: a virtual key code, a modifier mask (command 256,
// shift 512, option 2048, control 4096), and whether it is one modifier held alone.
struct HotkeyTriple {
    std::uint16_t keyCode = 0;
    std::uint32_t modifiers = 0;
    bool isSingleKey = false;

    friend bool operator==(const HotkeyTriple&, const HotkeyTriple&) = default;
};

}  // namespace parloquin
