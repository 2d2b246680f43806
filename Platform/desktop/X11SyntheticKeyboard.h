#pragma once

#include <memory>
#include <vector>

#include "Platform/desktop/SyntheticKeyboard.h"

namespace platform {

class X11Connection;

// Key events through XTEST. Letters are posted as the key that types that letter in the active
// layout (V pastes on a Dvorak keyboard too); other keys by their position (VirtualKeyMap).
// Modifier flags press the left Control, Shift, Alt or Super key before the key goes down and
// release them after it goes up. A key-down reaches the server with its key-up, so the server
// never sees a key held longer than a press. Without an X server or XTEST nothing is posted.
class X11SyntheticKeyboard : public SyntheticKeyboard {
public:
    explicit X11SyntheticKeyboard(std::shared_ptr<X11Connection> connection);
    ~X11SyntheticKeyboard() override;

    bool post(const CGEvent& event) override;
    // The logical key state of the core keyboard (XQueryKeymap).
    bool isAnyKeyDown() override;
    // WM_CLASS of the focus window or, when the pointer lies inside it (or the focus follows the
    // pointer), of the deepest window under the pointer, or of their nearest ancestor that has it.
    std::vector<std::string> focusedWindowClass() override;

private:
    unsigned keycodeFor(std::uint16_t virtualKeyCode) const;

    std::shared_ptr<X11Connection> connection_;
    std::vector<unsigned> heldModifiers_;  // pressed by a key-down here, released with its key-up
};

}  // namespace platform
