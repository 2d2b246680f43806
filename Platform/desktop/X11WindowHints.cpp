#include "Platform/desktop/X11WindowHints.h"

#include <string>

#include "Platform/desktop/X11Connection.h"

// Xlib after Qt: its macros (Bool, Status, None) clash with Qt headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform {

void X11WindowHints::setOnAllWorkspaces(unsigned long window) {
    auto connection = X11Connection::shared();
    if (!connection || window == 0) return;
    Display* display = connection->display();

    const unsigned long allDesktops = 0xFFFFFFFFul;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_DESKTOP", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&allDesktops), 1);

    // Qt merges its own states into this list when it maps the window.
    Atom states[] = {
        XInternAtom(display, "_NET_WM_STATE_STICKY", False),
        XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
        XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False),
    };
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(states), int(sizeof states / sizeof states[0]));
    // Qt maps the window over its own connection: the hints must be there first.
    XSync(display, False);
}

bool X11WindowHints::compositingManagerRunning() {
    auto connection = X11Connection::shared();
    if (!connection) return false;
    Display* display = connection->display();
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != 0;
}

}  // namespace platform
