#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/desktop/RemoteDesktopPortalKeyboard.h"
#include "Platform/desktop/SyntheticKeyboard.h"

namespace platform {
class X11Connection;
}

namespace parloquin {

// How dictated text reaches the focused window: the paste chord is pressed through the first route
// that can reach it now, tried in this order and each only where it can work:
//   1. XTest, when an X window has the focus (on X11 always; in a Wayland session, XWayland's
//      windows: its root's _NET_ACTIVE_WINDOW is not 0);
//   2. KWin's fake input (granted by the installed .desktop file's X-KDE-Wayland-Interfaces);
//   3. wlroots' virtual keyboard (sway, Hyprland, river);
//   4. GNOME's RemoteDesktop portal, keyboard only (the desktop asks the user once);
//   5. none: the text stays on the clipboard for the user to paste with Ctrl+V.
// It is the desktop's keyboard for PasteHelper: a chord goes out whole through the route chosen
// when its key goes down. Main thread only.
class TextDelivery : public platform::SyntheticKeyboard {
public:
    enum class Route { xtest, kwinFakeInput, virtualKeyboard, remoteDesktop, clipboard };

    struct Backend {
        Route route;
        // Whether the route reaches the window that has the keyboard focus now.
        std::function<bool()> reachesFocus;
        // The route's keyboard, asked for once; nullptr where the route cannot work in this session.
        std::function<std::shared_ptr<platform::SyntheticKeyboard>()> open;
    };

    explicit TextDelivery(std::vector<Backend> backends);
    // The routes of this session: XTest on the X connection (by default the process's shared one);
    // in a Wayland session also the compositor's (each on a connection of its own) and the portal's.
    // The portal's restore token is kept in the token store.
    static std::shared_ptr<TextDelivery> forSession(std::shared_ptr<platform::X11Connection> x11 = nullptr,
                                                    platform::RemoteDesktopPortalKeyboard::TokenStore tokens = {});

    // The route a paste takes now: the first that reaches the focused window and has a keyboard.
    Route route();
    // Whether any route can paste in this session (at some focus); false: only the clipboard.
    bool canPaste();
    static const char* name(Route route);

    bool post(const platform::CGEvent& event) override;
    bool isAnyKeyDown() override;
    std::vector<std::string> focusedWindowClass() override;
    bool reachesFocusedWindow() override;

private:
    struct Slot {
        Backend backend;
        bool opened = false;
        std::shared_ptr<platform::SyntheticKeyboard> keyboard;
    };
    platform::SyntheticKeyboard* keyboard(Slot& slot);
    Slot* current();

    std::vector<Slot> slots_;
    // The route a chord's key went down through: its key-up goes the same way.
    platform::SyntheticKeyboard* held_ = nullptr;
};

}  // namespace parloquin
