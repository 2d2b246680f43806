#include "tests/Platform/desktop/ForeignKeyboardGrab.h"

#include <X11/Xlib.h>

namespace parloquin_test {

ForeignKeyboardGrab::ForeignKeyboardGrab() : display_(XOpenDisplay(nullptr)) {
    if (!display_) return;
    holds_ = XGrabKeyboard(display_, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync,
                           CurrentTime) == GrabSuccess;
    XSync(display_, False);
}

ForeignKeyboardGrab::~ForeignKeyboardGrab() {
    if (!display_) return;
    XUngrabKeyboard(display_, CurrentTime);
    XCloseDisplay(display_);
}

}  // namespace parloquin_test
