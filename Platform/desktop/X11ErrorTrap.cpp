#include "Platform/desktop/X11ErrorTrap.h"

#include <X11/Xlib.h>

namespace platform {
namespace {

thread_local X11ErrorTrap* currentTrap = nullptr;

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display), outer_(currentTrap) {
    XSync(display_, False);  // errors of earlier requests are not ours
    currentTrap = this;
    previousHandler_ = reinterpret_cast<void*>(
        XSetErrorHandler([](Display* d, XErrorEvent* e) { return X11ErrorTrap::handle(d, e); }));
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(reinterpret_cast<XErrorHandler>(previousHandler_));
    currentTrap = outer_;
}

int X11ErrorTrap::sync() {
    XSync(display_, False);
    return firstError_;
}

int X11ErrorTrap::handle(Display* display, void* event) {
    auto* error = static_cast<XErrorEvent*>(event);
    for (X11ErrorTrap* trap = currentTrap; trap; trap = trap->outer_) {
        if (trap->display_ == display) {
            if (trap->firstError_ == 0) trap->firstError_ = error->error_code;
            return 0;
        }
    }
    // Not ours: the innermost trap knows the handler that was installed before any trap.
    X11ErrorTrap* outermost = currentTrap;
    while (outermost && outermost->outer_) outermost = outermost->outer_;
    auto previous = outermost ? reinterpret_cast<XErrorHandler>(outermost->previousHandler_) : nullptr;
    return previous ? previous(display, error) : 0;
}

}  // namespace platform
