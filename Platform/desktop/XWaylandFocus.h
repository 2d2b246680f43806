#pragma once

namespace platform {

class X11Connection;

// Where the keyboard focus of a Wayland session is: the compositor's X window manager names the
// focused X window (XWayland's) in the root window's _NET_ACTIVE_WINDOW and sets it to none (0)
// while a native Wayland window has the focus. XTest reaches X windows only.
class XWaylandFocus {
public:
    // True when an X window has the focus; false for a native window, no active window or no X
    // server.
    static bool isOnXWindow(X11Connection* connection);
};

}  // namespace platform
