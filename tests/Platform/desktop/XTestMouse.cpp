#include "tests/Platform/desktop/XTestMouse.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace parloquin_test {

XTestMouse::XTestMouse() : display_(XOpenDisplay(nullptr)) {}

XTestMouse::~XTestMouse() {
    if (display_) XCloseDisplay(display_);
}

void XTestMouse::moveTo(int x, int y) {
    if (!display_) return;
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XTestMouse::click(int x, int y, unsigned button) {
    if (!display_) return;
    moveTo(x, y);
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    XSync(display_, False);
}

}  // namespace parloquin_test
