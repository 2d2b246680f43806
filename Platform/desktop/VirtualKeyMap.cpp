#include "Platform/desktop/VirtualKeyMap.h"

#include <array>
#include <utility>

namespace platform {
namespace {

struct KeyPosition {
    std::uint16_t virtualKeyCode;
    std::uint8_t x11Keycode;
};

// Virtual key code → evdev keycode + 8. Keys of the ISO and JIS extras and the media keys are left out:
// their positions differ between keyboards.
constexpr KeyPosition kPositions[] = {
    {0, 38},    {1, 39},    {2, 40},    {3, 41},    {4, 43},    {5, 42},    {6, 52},    {7, 53},    // A S D F H G Z X
    {8, 54},    {9, 55},    {11, 56},   {12, 24},   {13, 25},   {14, 26},   {15, 27},   {16, 29},   // C V B Q W E R Y
    {17, 28},   {18, 10},   {19, 11},   {20, 12},   {21, 13},   {22, 15},   {23, 14},   {24, 21},   // T 1 2 3 4 6 5 =
    {25, 18},   {26, 16},   {27, 20},   {28, 17},   {29, 19},   {30, 35},   {31, 32},   {32, 30},   // 9 7 - 8 0 ] O U
    {33, 34},   {34, 31},   {35, 33},   {36, 36},   {37, 46},   {38, 44},   {39, 48},   {40, 45},   // [ I P Return L J ' K
    {41, 47},   {42, 51},   {43, 59},   {44, 61},   {45, 57},   {46, 58},   {47, 60},   {48, 23},   // ; \ , / N M . Tab
    {49, 65},   {50, 49},   {51, 22},   {53, 9},                                                    // Space ` Delete Escape
    {54, 134},  {55, 133},  {56, 50},   {57, 66},   {58, 64},   {59, 37},   {60, 62},   {61, 108},  // modifiers, Caps Lock
    {62, 105},
    {64, 195},  {65, 91},   {67, 63},   {69, 86},   {75, 106},  {76, 104},  {78, 82},   {79, 196},  // F17, keypad, F18
    {80, 197},  {81, 125},  {82, 90},   {83, 87},   {84, 88},   {85, 89},   {86, 83},   {87, 84},   // F19, keypad
    {88, 85},   {89, 79},   {90, 198},  {91, 80},   {92, 81},                                       // keypad, F20
    {96, 71},   {97, 72},   {98, 73},   {99, 69},   {100, 74},  {101, 75},  {103, 95},  {105, 191}, // F5 F6 F7 F3 F8 F9 F11 F13
    {106, 194}, {107, 192}, {109, 76},  {111, 96},  {113, 193}, {114, 118}, {115, 110}, {116, 112}, // F16 F14 F10 F12 F15 Help Home PgUp
    {117, 119}, {118, 70},  {119, 115}, {120, 68},  {121, 117}, {122, 67},  {123, 113}, {124, 114}, // FwdDel F4 End F2 PgDn F1 ← →
    {125, 116}, {126, 111},                                                                         // ↓ ↑
};

struct ModifierPosition {
    std::uint8_t x11Keycode;
    CGEventFlags flag;
};

constexpr ModifierPosition kModifierPositions[] = {
    {37, kCGEventFlagMaskControl},   {105, kCGEventFlagMaskControl},  // left, right Control
    {50, kCGEventFlagMaskShift},     {62, kCGEventFlagMaskShift},     // left, right Shift
    {64, kCGEventFlagMaskAlternate}, {108, kCGEventFlagMaskAlternate},  // left, right Alt
    {133, kCGEventFlagMaskCommand},  {134, kCGEventFlagMaskCommand},  // left, right Super
};

}  // namespace

std::optional<std::uint8_t> VirtualKeyMap::x11Keycode(std::uint32_t virtualKeyCode) {
    for (const auto& p : kPositions)
        if (p.virtualKeyCode == virtualKeyCode) return p.x11Keycode;
    return std::nullopt;
}

std::optional<std::uint16_t> VirtualKeyMap::virtualKeyCode(std::uint32_t x11Keycode) {
    for (const auto& p : kPositions)
        if (p.x11Keycode == x11Keycode) return p.virtualKeyCode;
    return std::nullopt;
}

CGEventFlags VirtualKeyMap::modifierFlag(std::uint32_t x11Keycode) {
    for (const auto& m : kModifierPositions)
        if (m.x11Keycode == x11Keycode) return m.flag;
    return 0;
}

}  // namespace platform
