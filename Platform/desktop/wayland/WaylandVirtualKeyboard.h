#pragma once

#include <memory>

#include "Platform/desktop/wayland/EvdevSyntheticKeyboard.h"

struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace platform {

class WaylandConnection;
class XkbKeymap;

// Keys through the virtual keyboard protocol of wlroots compositors (sway, Hyprland, river), on a
// connection of its own. The keyboard types with the standard US keymap (XkbKeymap::standard), so
// a key's position is its letter; it sends its modifier state itself after every key, as the
// protocol wants. The keyboard is made once and kept, and its keymap has reached the compositor
// before the first key goes out: a key sent with a keyboard the compositor has not set up yet is
// lost.
class WaylandVirtualKeyboard : public EvdevSyntheticKeyboard {
public:
    // nullptr when the compositor offers no virtual keyboards or no seat, or XKB's data is missing.
    // Without a connection it opens one to WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandVirtualKeyboard> create(std::shared_ptr<WaylandConnection> connection = nullptr);
    ~WaylandVirtualKeyboard() override;

    bool sendKey(std::uint32_t evdevCode, bool pressed) override;

private:
    WaylandVirtualKeyboard(std::shared_ptr<WaylandConnection> connection, zwp_virtual_keyboard_manager_v1* manager,
                           zwp_virtual_keyboard_v1* keyboard, std::unique_ptr<XkbKeymap> keymap);

    std::shared_ptr<WaylandConnection> connection_;
    zwp_virtual_keyboard_manager_v1* manager_;
    zwp_virtual_keyboard_v1* keyboard_;
    std::unique_ptr<XkbKeymap> keymap_;
};

}  // namespace platform
