#pragma once

#include <memory>

#include "Platform/desktop/wayland/EvdevSyntheticKeyboard.h"

struct org_kde_kwin_fake_input;
struct wl_keyboard;

namespace platform {

class WaylandConnection;
class XkbKeymap;

// Keys through KWin's fake input protocol, on a connection of its own. KWin offers the protocol
// only to a program whose installed .desktop file lists org_kde_kwin_fake_input in
// X-KDE-Wayland-Interfaces (or to every program with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1), and
// then without asking the user. The keys go through KWin's keyboard state with the user's layout:
// letters are found in the seat's keymap, so that V pastes on any layout that has a V.
class KWinFakeInputKeyboard : public EvdevSyntheticKeyboard {
public:
    // nullptr when the compositor does not offer fake input (version 4, the one with keys) to this
    // program. Without a connection it opens one to WAYLAND_DISPLAY.
    static std::unique_ptr<KWinFakeInputKeyboard> create(std::shared_ptr<WaylandConnection> connection = nullptr);
    ~KWinFakeInputKeyboard() override;

    bool sendKey(std::uint32_t evdevCode, bool pressed) override;

protected:
    std::optional<std::uint32_t> letterCode(std::uint16_t virtualKeyCode) override;

private:
    KWinFakeInputKeyboard(std::shared_ptr<WaylandConnection> connection, org_kde_kwin_fake_input* input);
    static void onKeymap(void* data, wl_keyboard* keyboard, std::uint32_t format, std::int32_t fd, std::uint32_t size);

    std::shared_ptr<WaylandConnection> connection_;
    org_kde_kwin_fake_input* input_;
    wl_keyboard* keyboard_ = nullptr;
    std::unique_ptr<XkbKeymap> seatKeymap_;
};

}  // namespace platform
