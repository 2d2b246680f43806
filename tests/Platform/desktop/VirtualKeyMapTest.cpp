#include "Platform/desktop/VirtualKeyMap.h"

#include <gtest/gtest.h>

#include <set>

namespace platform {
namespace {

struct Position {
    std::uint16_t virtualKeyCode;
    std::uint8_t x11Keycode;
    const char* key;
};

// Stored key codes and where those keys sit on a PC keyboard (XKB evdev keycodes).
const Position kPositions[] = {
    {49, 65, "Space"},     {0, 38, "A"},          {12, 24, "Q"},         {6, 52, "Z"},
    {18, 10, "1"},         {29, 19, "0"},         {22, 15, "6"},         {23, 14, "5"},
    {50, 49, "`"},         {42, 51, "\\"},        {36, 36, "Return"},    {48, 23, "Tab"},
    {51, 22, "Delete"},    {117, 119, "ForwardDelete"}, {53, 9, "Escape"},
    {122, 67, "F1"},       {120, 68, "F2"},       {99, 69, "F3"},        {118, 70, "F4"},
    {96, 71, "F5"},        {109, 76, "F10"},      {103, 95, "F11"},      {111, 96, "F12"},
    {123, 113, "←"},       {124, 114, "→"},       {125, 116, "↓"},       {126, 111, "↑"},
    {58, 64, "left Alt"},  {61, 108, "right Alt"}, {55, 133, "left Super"}, {54, 134, "right Super"},
    {56, 50, "left Shift"}, {60, 62, "right Shift"}, {59, 37, "left Control"}, {62, 105, "right Control"},
};

TEST(VirtualKeyMap, MapsKeysByPositionBothWays) {
    for (const auto& p : kPositions) {
        SCOPED_TRACE(p.key);
        EXPECT_EQ(VirtualKeyMap::x11Keycode(p.virtualKeyCode), p.x11Keycode);
        EXPECT_EQ(VirtualKeyMap::virtualKeyCode(p.x11Keycode), p.virtualKeyCode);
    }
}

TEST(VirtualKeyMap, EveryNamedKeyHasAPositionAndNoTwoShareOne) {
    // The key codes that have a display name in the hotkey settings.
    std::set<std::uint16_t> named;
    for (std::uint16_t code = 0; code <= 53; ++code)
        if (code != 10 && code != 52) named.insert(code);
    for (std::uint16_t code : {96, 97, 98, 99, 100, 101, 103, 109, 111, 117, 118, 120, 122, 123, 124, 125, 126})
        named.insert(code);

    std::set<std::uint8_t> used;
    for (std::uint16_t code : named) {
        SCOPED_TRACE(code);
        auto keycode = VirtualKeyMap::x11Keycode(code);
        ASSERT_TRUE(keycode.has_value());
        EXPECT_TRUE(used.insert(*keycode).second) << "two keys on keycode " << int(*keycode);
        EXPECT_EQ(VirtualKeyMap::virtualKeyCode(*keycode), code);
    }
}

TEST(VirtualKeyMap, UnplacedCodesHaveNoKeycode) {
    for (std::uint32_t code : {10u, 52u, 127u, 200u, 0x10000u}) EXPECT_FALSE(VirtualKeyMap::x11Keycode(code)) << code;
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCode(0));
    EXPECT_FALSE(VirtualKeyMap::virtualKeyCode(255));
}

TEST(VirtualKeyMap, ModifierFlagsComeFromBothKeysOfAPair) {
    const std::pair<std::uint8_t, CGEventFlags> cases[] = {
        {64, kCGEventFlagMaskAlternate}, {108, kCGEventFlagMaskAlternate}, {133, kCGEventFlagMaskCommand},
        {134, kCGEventFlagMaskCommand},  {50, kCGEventFlagMaskShift},      {62, kCGEventFlagMaskShift},
        {37, kCGEventFlagMaskControl},   {105, kCGEventFlagMaskControl},   {65, 0},
        {66, 0},  // Caps Lock is no modifier of a hotkey
    };
    for (auto [keycode, flag] : cases) EXPECT_EQ(VirtualKeyMap::modifierFlag(keycode), flag) << int(keycode);
}

}  // namespace
}  // namespace platform
