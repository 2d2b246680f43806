#pragma once

#include <cstdint>

namespace platform {

enum class CGEventType : std::uint32_t {
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
};

using CGEventMask = std::uint64_t;

constexpr CGEventMask CGEventMaskBit(CGEventType type) { return CGEventMask(1) << static_cast<std::uint32_t>(type); }

// Modifier bits of an event's flags.
using CGEventFlags = std::uint64_t;
inline constexpr CGEventFlags kCGEventFlagMaskShift = 0x20000;
inline constexpr CGEventFlags kCGEventFlagMaskControl = 0x40000;
inline constexpr CGEventFlags kCGEventFlagMaskAlternate = 0x80000;
inline constexpr CGEventFlags kCGEventFlagMaskCommand = 0x100000;

// A keyboard event seen by an event tap. keyCode is a virtual key code; flags are the modifiers held
// after the event; autorepeat marks a further key-down of a key that is already down.
struct CGEvent {
    CGEventType type = CGEventType::keyDown;
    std::uint16_t keyCode = 0;
    CGEventFlags flags = 0;
    bool autorepeat = false;
};

// Key code used for a key with no virtual key code.
inline constexpr std::uint16_t kUnknownVirtualKeyCode = 0xFFFF;

}  // namespace platform
