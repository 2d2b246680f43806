#include "tests/Platform/desktop/ForeignGrab.h"

#include <X11/Xlib.h>

namespace parloquin_test {
namespace {

int lastError = 0;
int recordError(Display*, XErrorEvent* event) {
    lastError = event->error_code;
    return 0;
}

}  // namespace

ForeignGrab::ForeignGrab(unsigned keycode, unsigned modifiers)
    : display_(XOpenDisplay(nullptr)), keycode_(keycode), modifiers_(modifiers) {
    if (!display_) {
        error_ = -1;
        return;
    }
    XSync(display_, False);
    lastError = 0;
    auto previous = XSetErrorHandler(recordError);
    XGrabKey(display_, int(keycode_), modifiers_, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
    XSetErrorHandler(previous);
    error_ = lastError;
}

ForeignGrab::~ForeignGrab() {
    if (!display_) return;
    XUngrabKey(display_, int(keycode_), modifiers_, DefaultRootWindow(display_));
    XCloseDisplay(display_);
}

}  // namespace parloquin_test
