#include "Parloquin/hotkeys/KeyNames.h"

#include <array>
#include <utility>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Platform/desktop/EventHotKey.h"

namespace parloquin {
namespace {

// Key names by virtual key code, 0 to 126.
constexpr std::array<const char*, 127> kKeyNames = [] {
    std::array<const char*, 127> names{};
    const char* const letters[] = {"A", "S", "D", "F", "H", "G", "Z", "X", "C", "V"};
    for (int i = 0; i < 10; ++i) names[i] = letters[i];
    const char* const row[] = {"B", "Q", "W", "E", "R", "Y", "T", "1", "2", "3", "4", "6", "5",
                               "=", "9", "7", "-", "8", "0", "]", "O", "U", "[", "I", "P", "Return",
                               "L", "J", "'", "K", ";", "\\", ",", "/", "N", "M", ".", "Tab", "Space", "`", "Delete"};
    for (int i = 0; i < 41; ++i) names[11 + i] = row[i];
    names[53] = "Escape";
    const char* const functions[] = {"F5", "F6", "F7", "F3", "F8", "F9"};
    for (int i = 0; i < 6; ++i) names[96 + i] = functions[i];
    names[103] = "F11";
    names[109] = "F10";
    names[111] = "F12";
    names[117] = "ForwardDelete";
    names[118] = "F4";
    names[120] = "F2";
    names[122] = "F1";
    names[123] = "←";
    names[124] = "→";
    names[125] = "↓";
    names[126] = "↑";
    return names;
}();

struct Preset {
    std::string_view display;
    HotkeyTriple values;
};

constexpr std::uint32_t kCommandShift = platform::cmdKey | platform::shiftKey;

constexpr Preset kPresets[] = {
    {"⌥", {58, platform::optionKey, true}},
    {"⌘", {55, platform::cmdKey, true}},
    {"⌃", {59, platform::controlKey, true}},
    {"⇧", {56, platform::shiftKey, true}},
    {"⌘⇧Space", {49, kCommandShift, false}},
    {"⌥Space", {49, platform::optionKey, false}},
    {"⌃⌥Space", {49, platform::controlKey | platform::optionKey, false}},
    {"⇧⌘Space", {49, kCommandShift, false}},
};

}  // namespace

std::optional<std::string_view> keyName(std::uint16_t code) {
    if (code >= kKeyNames.size() || kKeyNames[code] == nullptr) return std::nullopt;
    return std::string_view(kKeyNames[code]);
}

std::optional<HotkeyTriple> hotkeyPresetValues(std::string_view display) {
    for (const Preset& preset : kPresets)
        if (preset.display == display) return preset.values;
    return std::nullopt;
}

std::string hotkeyLabel(std::string_view display) {
    // The keys whose names differ on a German Linux keyboard; the rest keep theirs.
    static constexpr std::pair<std::string_view, std::string_view> kGerman[] = {
        {"Space", "Leertaste"}, {"Return", "Eingabe"}, {"Delete", "Rücktaste"}, {"ForwardDelete", "Entf"},
        {"Escape", "Esc"},      {"Tab", "Tab"},
    };
    std::uint32_t modifiers = 0;
    std::string_view rest = display;
    for (bool found = true; found && !rest.empty();) {
        found = false;
        for (const auto& modifier : HotkeyModifier::all()) {
            const std::string_view glyph = modifier.glyph;
            if (rest.starts_with(glyph)) {
                modifiers |= modifier.carbonBit;
                rest.remove_prefix(glyph.size());
                found = true;
            }
        }
    }
    if (modifiers == 0) return std::string(display);
    std::string label;
    for (const auto& modifier : HotkeyModifier::all())
        if (modifiers & modifier.carbonBit) label += (label.empty() ? "" : "+") + std::string(modifier.keyName);
    if (rest.empty()) return label;
    std::string key(rest);
    for (const auto& [name, german] : kGerman)
        if (rest == name) key = german;
    return label + "+" + key;
}

bool isSingleKeyHotkey(std::string_view display) {
    for (const auto& modifier : HotkeyModifier::all())
        if (display == modifier.glyph) return true;
    return false;
}

}  // namespace parloquin
