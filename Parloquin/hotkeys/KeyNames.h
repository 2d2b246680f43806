#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Parloquin/hotkeys/HotkeyTriple.h"

namespace parloquin {

// The name a hotkey's key is shown with ("K", "Space", "F1", "←"); none for a code above 126 or a
// key the table leaves out (the modifiers among them).
std::optional<std::string_view> keyName(std::uint16_t code);

// The stored form of a preset's display text ("⌥", "⇧⌘Space", …); none for any other text.
std::optional<HotkeyTriple> hotkeyPresetValues(std::string_view display);

// A display text that is one of the four modifier glyphs alone.
bool isSingleKeyHotkey(std::string_view display);

}  // namespace parloquin
