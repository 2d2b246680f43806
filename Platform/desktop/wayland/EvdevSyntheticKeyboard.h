#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Platform/desktop/SyntheticKeyboard.h"

namespace platform {

// A synthetic keyboard that sends Linux input event codes (evdev), as the Wayland keyboard
// protocols take them. A key-down presses the left Control, Shift, Alt or Super key for each
// modifier flag first; its key-up releases the key, then those modifiers. Keys are found by their
// position (VirtualKeyMap); letters by what they type where the subclass knows the layout.
// Wayland tells no client which keys are down or which window has the focus: isAnyKeyDown is
// false and focusedWindowClass empty.
class EvdevSyntheticKeyboard : public SyntheticKeyboard {
public:
    bool post(const CGEvent& event) override;
    bool isAnyKeyDown() override { return false; }
    std::vector<std::string> focusedWindowClass() override { return {}; }

    // One key by its evdev code, sent at once. False when it could not be sent.
    virtual bool sendKey(std::uint32_t evdevCode, bool pressed) = 0;

    // The evdev code of a virtual key code's position.
    static std::optional<std::uint32_t> positionCode(std::uint16_t virtualKeyCode);

protected:
    // The evdev code that types a letter key's letter, where the layout is known; by default its
    // position.
    virtual std::optional<std::uint32_t> letterCode(std::uint16_t virtualKeyCode) { return positionCode(virtualKeyCode); }

private:
    std::vector<std::uint32_t> heldModifiers_;  // pressed by a key-down here, released with its key-up
};

}  // namespace platform
