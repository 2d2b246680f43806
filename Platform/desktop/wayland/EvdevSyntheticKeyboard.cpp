#include "Platform/desktop/wayland/EvdevSyntheticKeyboard.h"

#include <algorithm>

#include "Platform/desktop/VirtualKeyMap.h"

namespace platform {
namespace {

struct ModifierKey {
    CGEventFlags flag;
    std::uint32_t evdevCode;
};

// Left Control, Shift, Alt, Super (linux/input-event-codes.h).
constexpr ModifierKey kModifiers[] = {
    {kCGEventFlagMaskControl, 29},
    {kCGEventFlagMaskShift, 42},
    {kCGEventFlagMaskAlternate, 56},
    {kCGEventFlagMaskCommand, 125},
};

constexpr std::uint32_t kEvdevOffset = 8;  // X11 keycodes are evdev codes plus 8

}  // namespace

std::optional<std::uint32_t> EvdevSyntheticKeyboard::positionCode(std::uint16_t virtualKeyCode) {
    const auto x11 = VirtualKeyMap::x11Keycode(virtualKeyCode);
    if (!x11 || *x11 < kEvdevOffset) return std::nullopt;
    return std::uint32_t(*x11) - kEvdevOffset;
}

bool EvdevSyntheticKeyboard::post(const CGEvent& event) {
    if (event.type != CGEventType::keyDown && event.type != CGEventType::keyUp) return false;
    const auto code = letterCode(event.keyCode);
    if (!code) return false;
    if (event.type == CGEventType::keyDown) {
        for (const ModifierKey& modifier : kModifiers) {
            if ((event.flags & modifier.flag) == 0) continue;
            if (std::find(heldModifiers_.begin(), heldModifiers_.end(), modifier.evdevCode) != heldModifiers_.end())
                continue;
            if (!sendKey(modifier.evdevCode, true)) return false;
            heldModifiers_.push_back(modifier.evdevCode);
        }
        return sendKey(*code, true);
    }
    bool sent = sendKey(*code, false);
    for (auto it = heldModifiers_.rbegin(); it != heldModifiers_.rend(); ++it) sent = sendKey(*it, false) && sent;
    heldModifiers_.clear();
    return sent;
}

}  // namespace platform
