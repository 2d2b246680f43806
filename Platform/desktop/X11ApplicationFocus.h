#pragma once

#include <memory>

#include "Platform/desktop/ApplicationFocus.h"

namespace platform {

class X11Connection;

// ApplicationFocus on X11. With a window manager that follows the extended window manager hints,
// its active window and stacking list are read and activation is asked of it; without one the
// server's own focus and window tree serve. Windows of this process are known by _NET_WM_PID.
class X11ApplicationFocus : public ApplicationFocus {
public:
    explicit X11ApplicationFocus(std::shared_ptr<X11Connection> connection);

    std::optional<WindowId> previousWindow() override;
    bool activate(WindowId window) override;
    bool hasFocus(WindowId window) override;

private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace platform
