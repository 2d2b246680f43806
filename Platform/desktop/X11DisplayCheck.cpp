#include "Platform/desktop/X11DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace platform {

std::optional<std::string> X11DisplayCheck::problem(const std::string& programName) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (wayland != nullptr && *wayland != '\0') {
            return programName + " needs an X11 display, and this Wayland session offers none (DISPLAY is not set): "
                                 "start it in a session with XWayland.";
        }
        return programName + " needs an X11 display, and DISPLAY is not set: start it in a graphical session.";
    }
    if (Display* connection = XOpenDisplay(display)) {
        XCloseDisplay(connection);
        return std::nullopt;
    }
    return programName + " needs an X11 display, and the one DISPLAY names (" + display + ") cannot be opened.";
}

}  // namespace platform
