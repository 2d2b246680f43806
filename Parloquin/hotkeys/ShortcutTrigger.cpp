#include "Parloquin/hotkeys/ShortcutTrigger.h"

#include <cctype>
#include <string_view>
#include <utility>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Platform/desktop/EventHotKey.h"

namespace parloquin {
namespace {

constexpr std::pair<std::string_view, std::string_view> kKeysyms[] = {
    {"Space", "space"},       {"Return", "Return"},     {"Tab", "Tab"},           {"Delete", "BackSpace"},
    {"ForwardDelete", "Delete"}, {"Escape", "Escape"},  {"←", "Left"},            {"→", "Right"},
    {"↑", "Up"},              {"↓", "Down"},            {"-", "minus"},           {"=", "equal"},
    {"[", "bracketleft"},     {"]", "bracketright"},    {"'", "apostrophe"},      {";", "semicolon"},
    {"\\", "backslash"},      {",", "comma"},           {"/", "slash"},           {".", "period"},
    {"`", "grave"},
};

// The left key of each modifier, as a lone-modifier trigger.
std::string loneKeysym(std::uint32_t modifiers) {
    switch (modifiers) {
        case platform::controlKey: return "Control_L";
        case platform::optionKey: return "Alt_L";
        case platform::shiftKey: return "Shift_L";
        case platform::cmdKey: return "Super_L";
        default: return {};
    }
}

struct ModifierNames {
    std::uint32_t bit;
    const char* portal;
    const char* sway;
};
// In the order the desktops write them.
constexpr ModifierNames kModifiers[] = {
    {platform::controlKey, "CTRL", "Ctrl"},
    {platform::optionKey, "ALT", "Alt"},
    {platform::shiftKey, "SHIFT", "Shift"},
    {platform::cmdKey, "LOGO", "Mod4"},
};

std::string written(const HotkeyTriple& hotkey, bool portal) {
    if (hotkey.isSingleKey) return loneKeysym(hotkey.modifiers);
    const std::string key = ShortcutTrigger::keysym(hotkey.keyCode);
    if (key.empty()) return {};
    std::string text;
    // sway writes Mod4 first by habit; any order binds the same.
    for (const ModifierNames& modifier : kModifiers)
        if (hotkey.modifiers & modifier.bit) text += std::string(portal ? modifier.portal : modifier.sway) + "+";
    return text + key;
}

}  // namespace

std::string ShortcutTrigger::keysym(std::uint16_t keyCode) {
    const auto name = keyName(keyCode);
    if (!name) return {};
    for (const auto& [key, keysym] : kKeysyms)
        if (*name == key) return std::string(keysym);
    std::string text(*name);
    // Letters are lower case keysyms; digits and F-keys are written as they are.
    if (text.size() == 1) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::optional<HotkeyTriple> ShortcutTrigger::fromDisplay(std::string_view display) {
    std::uint32_t modifiers = 0;
    for (bool found = true; found && !display.empty();) {
        found = false;
        for (const auto& modifier : HotkeyModifier::all()) {
            if (!display.starts_with(modifier.glyph)) continue;
            modifiers |= modifier.carbonBit;
            display.remove_prefix(std::string_view(modifier.glyph).size());
            found = true;
        }
    }
    if (display.empty()) {
        const HotkeyModifier* lone = HotkeyModifier::forCarbonMask(modifiers);
        if (!lone) return std::nullopt;
        return HotkeyTriple{lone->loneKeyCode, modifiers, true};
    }
    for (std::uint16_t code = 0; code < 127; ++code)
        if (keyName(code) == display) return HotkeyTriple{code, modifiers, false};
    return std::nullopt;
}

std::string ShortcutTrigger::portal(const HotkeyTriple& hotkey) { return written(hotkey, true); }

std::string ShortcutTrigger::sway(const HotkeyTriple& hotkey) { return written(hotkey, false); }

}  // namespace parloquin
