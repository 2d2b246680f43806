#pragma once

typedef struct _XDisplay Display;

namespace platform {

// Collects the X errors of one display for as long as it lives, instead of letting them reach the
// process's error handler. Errors of other displays go on to the handler that was there before.
// Use on the thread that talks to the display; traps may nest.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits until the server has handled every request sent so far; returns the code of the first error
    // seen since the trap was set (0 when none).
    int sync();

private:
    static int handle(Display* display, void* event);

    Display* display_;
    void* previousHandler_;
    X11ErrorTrap* outer_;
    int firstError_ = 0;
};

}  // namespace platform
