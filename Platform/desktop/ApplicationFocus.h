#pragma once

#include <memory>
#include <optional>

namespace platform {

// Which application's window has the keyboard, and handing it back to the one the user worked in
// before one of ours took it. Windows are named by the desktop's window ids. Main thread only.
class ApplicationFocus {
public:
    using WindowId = unsigned long;

    virtual ~ApplicationFocus() = default;

    // The window of another program that the user worked in last: the active window when it is
    // not ours, else the highest normal, visible top-level window of another process. None when
    // there is no such window or no desktop to ask.
    virtual std::optional<WindowId> previousWindow() = 0;
    // Asks for the window to be raised and given the keyboard (through the window manager when one
    // runs). False when the request could not be made.
    virtual bool activate(WindowId window) = 0;
    // Whether typed keys go to the window (or a window inside it) now.
    virtual bool hasFocus(WindowId window) = 0;

    // The X11 desktop over the process's shared connection; without an X server every answer is
    // none or false.
    static std::shared_ptr<ApplicationFocus> system();
};

}  // namespace platform
