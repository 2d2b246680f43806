#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Parloquin/hotkeys/HotkeyTriple.h"

namespace parloquin {

// The name a hotkey's key is shown with ("K", "Space", "F1", "←"); none for a code above 126 or a
// key the table leaves out (the modifiers among them).
std::optional<std::string_view> keyName(std::uint16_t code);

// The stored form of a preset's display text ("⌥", "⇧⌘Space", …); none for any other text.
std::optional<HotkeyTriple> hotkeyPresetValues(std::string_view display);

// A stored display text as a person on Linux reads it, with the German key names of the keyboard:
// "⇧⌘Space" is "Umschalt+Super+Leertaste", "⌃⌥K" is "Strg+Alt+K", "⌥" is "Alt". The modifiers come
// in the desktop's order (Strg, Alt, Umschalt, Super); a text that is no hotkey stays as it is.
std::string hotkeyLabel(std::string_view display);

// A display text that is one of the four modifier glyphs alone.
bool isSingleKeyHotkey(std::string_view display);

}  // namespace parloquin
