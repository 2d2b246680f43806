#include "Platform/desktop/X11PermissionProbe.h"

#include <cstdlib>
#include <string_view>

#include "Platform/desktop/X11Connection.h"

namespace platform {

X11PermissionProbe::X11PermissionProbe(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

bool X11PermissionProbe::isWaylandSession() {
    const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
    const char* sessionType = std::getenv("XDG_SESSION_TYPE");
    return (waylandDisplay && *waylandDisplay) || (sessionType && std::string_view(sessionType) == "wayland");
}

bool X11PermissionProbe::isAccessibilityTrusted(bool /*prompt*/) {
    return !isWaylandSession() && connection_ && connection_->hasXTest();
}

bool X11PermissionProbe::canMonitorInput() {
    return !isWaylandSession() && connection_ && connection_->xinputMajor() >= 2;
}

}  // namespace platform
