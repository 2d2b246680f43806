// The names keys are shown with, the presets, and the display text the recorder makes of a key
// with modifiers. The two tables are kept in tests/fixtures/hotkeys for a person to read.
#include "Parloquin/hotkeys/KeyNames.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Parloquin/hotkeys/HotkeyRecorder.h"
#include "tests/support/GoldenFile.h"

namespace parloquin {
namespace {

constexpr platform::CGEventFlags kCmd = platform::kCGEventFlagMaskCommand, kShift = platform::kCGEventFlagMaskShift,
                                 kAlt = platform::kCGEventFlagMaskAlternate, kCtrl = platform::kCGEventFlagMaskControl;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

TEST(KeyNames, EveryCodeUpTo127) {
    std::string table = "code\tname\n";
    int named = 0;
    for (int code = 0; code <= 127; ++code) {
        const auto name = keyName(std::uint16_t(code));
        if (!name) continue;
        ++named;
        table += std::to_string(code) + "\t" + std::string(*name) + "\n";
    }
    testsupport::expectGolden("hotkeys", "key-names.tsv", table);
    EXPECT_EQ(named, 69);
    EXPECT_EQ(keyName(49), "Space");
    for (std::uint16_t none : {10, 52, 54, 63, 127, 128, 0xFFFF}) EXPECT_FALSE(keyName(none)) << none;
}

// Each preset as it is stored, and the text the recorder would show for the same keys: "⌘⇧Space"
// is the same hotkey as "⇧⌘Space", written in another order.
TEST(KeyNames, Presets) {
    const char* const displays[] = {"⌥", "⌘", "⌃", "⇧", "⌘⇧Space", "⌥Space", "⌃⌥Space", "⇧⌘Space"};
    std::string table = "preset\tkeyCode\tmodifiers\tisSingleKey\tas recorded\tas shown\n";
    for (const char* display : displays) {
        const auto values = hotkeyPresetValues(display);
        ASSERT_TRUE(values) << display;
        std::string recorded;
        if (values->isSingleKey) {
            recorded = HotkeyModifier::forCarbonMask(values->modifiers)->glyph;
            EXPECT_EQ(HotkeyModifier::forCarbonMask(values->modifiers)->loneKeyCode, values->keyCode);
        } else {
            platform::CGEventFlags flags = 0;
            for (const auto& modifier : HotkeyModifier::all())
                if (values->modifiers & modifier.carbonBit) flags |= modifier.flag;
            recorded = HotkeyRecorder::handleKeyDown(values->keyCode, flags)->display;
        }
        table += std::string(display) + "\t" + std::to_string(values->keyCode) + "\t" + hex(values->modifiers) + "\t" +
                 (values->isSingleKey ? "true" : "false") + "\t" + recorded + "\t" + hotkeyLabel(display) + "\n";
        EXPECT_EQ(isSingleKeyHotkey(display), values->isSingleKey) << display;
    }
    testsupport::expectGolden("hotkeys", "presets.tsv", table);
    for (const char* unknown : {"Space", "", "⌥⌥", "⇧⌘space", "⌘ "}) EXPECT_FALSE(hotkeyPresetValues(unknown)) << unknown;
}

// What a person reads on a German Linux keyboard: no Mac glyph and no Mac key name, the modifiers in
// the desktop's order whatever order the stored text has; a text that is no hotkey stays as it is.
TEST(KeyNames, LabelsNameTheKeysOfALinuxKeyboard) {
    const std::pair<const char*, const char*> cases[] = {
        {"⇧⌘Space", "Umschalt+Super+Leertaste"},
        {"⌘⇧Space", "Umschalt+Super+Leertaste"},
        {"⌃⌥Space", "Strg+Alt+Leertaste"},
        {"⌥", "Alt"},
        {"⌘", "Super"},
        {"⌃⇧K", "Strg+Umschalt+K"},
        {"⌥Delete", "Alt+Rücktaste"},
        {"⌘ForwardDelete", "Super+Entf"},
        {"⌃Return", "Strg+Eingabe"},
        {"⌃⌥⇧⌘F12", "Strg+Alt+Umschalt+Super+F12"},
        {"⌘←", "Super+←"},
        {"Space", "Space"},
        {"", ""},
        {"F1", "F1"},
    };
    for (const auto& [display, label] : cases) EXPECT_EQ(hotkeyLabel(display), label) << display;
}

TEST(KeyNames, KeyWithModifiersAsTheRecorderShowsIt) {
    const struct {
        std::uint16_t keyCode;
        platform::CGEventFlags flags;
        const char* display;  // none: no hotkey
        std::uint32_t modifiers;
    } cases[] = {
        {40, kCmd, "⌘K", 0x100},
        {122, kCmd | kShift | kAlt | kCtrl, "⌃⌥⇧⌘F1", 0x1000 + 0x800 + 0x200 + 0x100},
        {19, kCtrl | kShift, "⌃⇧2", 0x1200},
        {40, kAlt | kCmd, "⌥⌘K", 0x900},
        {49, kShift | kCmd, "⇧⌘Space", 0x300},
        {53, kCtrl, "⌃Escape", 0x1000},
        {123, kAlt, "⌥←", 0x800},
        {40, 0, nullptr, 0},         // a bare key
        {10, kCmd, nullptr, 0},      // no name
        {52, kCmd, nullptr, 0},      // no name
        {58, kCmd, nullptr, 0},      // a modifier's own key
        {0xFFFF, kCmd, nullptr, 0},  // no key code
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.keyCode) + " " + hex(std::uint32_t(c.flags)));
        const auto capture = HotkeyRecorder::handleKeyDown(c.keyCode, c.flags);
        if (!c.display) {
            EXPECT_FALSE(capture);
            continue;
        }
        ASSERT_TRUE(capture);
        EXPECT_EQ(capture->display, c.display);
        EXPECT_EQ(capture->hotkey, (HotkeyTriple{c.keyCode, c.modifiers, false}));
    }
}

TEST(KeyNames, SingleKeyHotkeysAreTheFourGlyphsAlone) {
    for (const char* single : {"⌥", "⌘", "⌃", "⇧"}) EXPECT_TRUE(isSingleKeyHotkey(single)) << single;
    for (const char* other : {"⌥Space", "⇧⌘Space", "", "Space", "⌥⌘", "Option"})
        EXPECT_FALSE(isSingleKeyHotkey(other)) << other;
}

}  // namespace
}  // namespace parloquin
