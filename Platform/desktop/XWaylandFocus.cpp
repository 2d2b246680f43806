#include "Platform/desktop/XWaylandFocus.h"

#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11ErrorTrap.h"

// Xlib after our headers: its macros clash with them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform {

bool XWaylandFocus::isOnXWindow(X11Connection* connection) {
    if (connection == nullptr) return false;
    Display* display = connection->display();
    X11ErrorTrap trap(display);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, connection->rootWindow(), active, 0, 1, False, XA_WINDOW, &type,
                                          &format, &count, &after, &data);
    Window window = None;
    if (status == Success && type == XA_WINDOW && format == 32 && count == 1 && data != nullptr) {
        window = *reinterpret_cast<Window*>(data);
    }
    if (data) XFree(data);
    return window != None;
}

}  // namespace platform
