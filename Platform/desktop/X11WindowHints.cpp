#include "Platform/desktop/X11WindowHints.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11ErrorTrap.h"

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

namespace {

bool windowManagerRunning(Display* display) {
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != 0;
}

std::vector<Atom> windowStates(Display* display, Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<Atom> states;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, XA_ATOM, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_ATOM && format == 32 && data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        states.assign(atoms, atoms + count);
    }
    if (data) XFree(data);
    return states;
}

}  // namespace

void X11WindowHints::setListedInTaskbar(unsigned long window, bool listed) {
    auto connection = X11Connection::shared();
    if (!connection || window == 0) return;
    Display* display = connection->display();
    X11ErrorTrap trap(display);  // the window may be gone already
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom skipped[] = {XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                            XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};

    XWindowAttributes attributes;
    const bool mapped = XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
    if (mapped && windowManagerRunning(display)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = listed ? 0 : 1;  // remove, add
        event.xclient.data.l[1] = long(skipped[0]);
        event.xclient.data.l[2] = long(skipped[1]);
        event.xclient.data.l[3] = 1;  // from an application
        XSendEvent(display, connection->rootWindow(), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        std::vector<Atom> states = windowStates(display, window, state);
        for (Atom atom : skipped) {
            states.erase(std::remove(states.begin(), states.end(), atom), states.end());
            if (!listed) states.push_back(atom);
        }
        XChangeProperty(display, window, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    }
    trap.sync();
}

bool X11WindowHints::compositingManagerRunning() {
    auto connection = X11Connection::shared();
    if (!connection) return false;
    Display* display = connection->display();
    const std::string selection = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != 0;
}

}  // namespace platform
