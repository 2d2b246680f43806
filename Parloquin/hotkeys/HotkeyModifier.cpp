#include "Parloquin/hotkeys/HotkeyModifier.h"

#include "Platform/desktop/EventHotKey.h"

namespace parloquin {

const std::array<HotkeyModifier, 4>& HotkeyModifier::all() {
    static constexpr std::array<HotkeyModifier, 4> modifiers = {{
        {platform::kCGEventFlagMaskControl, "⌃", platform::controlKey, 59, "Control (⌃)", "Strg"},
        {platform::kCGEventFlagMaskAlternate, "⌥", platform::optionKey, 58, "Alt (⌥)", "Alt"},
        {platform::kCGEventFlagMaskShift, "⇧", platform::shiftKey, 56, "Shift (⇧)", "Umschalt"},
        {platform::kCGEventFlagMaskCommand, "⌘", platform::cmdKey, 55, "Super (⌘)", "Super"},
    }};
    return modifiers;
}

const HotkeyModifier* HotkeyModifier::forCarbonMask(std::uint32_t modifiers) {
    for (const auto& modifier : all())
        if (modifier.carbonBit == modifiers) return &modifier;
    return nullptr;
}

std::string HotkeyModifier::glyphs(std::uint32_t modifiers) {
    std::string text;
    for (const auto& modifier : all())
        if (modifiers & modifier.carbonBit) text += modifier.glyph;
    return text;
}

std::uint32_t HotkeyModifier::carbonMask(platform::CGEventFlags flags) {
    std::uint32_t mask = 0;
    for (const auto& modifier : all())
        if (flags & modifier.flag) mask |= modifier.carbonBit;
    return mask;
}

bool HotkeyModifier::held(std::uint32_t modifiers, platform::CGEventFlags flags) {
    for (const auto& modifier : all())
        if ((modifiers & modifier.carbonBit) && !(flags & modifier.flag)) return false;
    return true;
}

}  // namespace parloquin
