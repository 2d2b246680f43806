#pragma once

#include <memory>

#include "Platform/desktop/PermissionProbe.h"

namespace platform {

class X11Connection;

// Accessibility holds when the X server offers XTEST (synthetic input), Input Monitoring when it offers
// XInput 2.0 or later (session-wide key events). A Wayland session grants neither to an X client: there
// both are reported missing.
class X11PermissionProbe : public PermissionProbe {
public:
    explicit X11PermissionProbe(std::shared_ptr<X11Connection> connection);

    bool isAccessibilityTrusted(bool prompt) override;
    bool canMonitorInput() override;

    // WAYLAND_DISPLAY is set or XDG_SESSION_TYPE is "wayland".
    static bool isWaylandSession();

private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace platform
