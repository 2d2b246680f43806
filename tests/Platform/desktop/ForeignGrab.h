#pragma once

typedef struct _XDisplay Display;

namespace parloquin_test {

// Another X client holding a key grab on the root window, as a second program would.
class ForeignGrab {
public:
    // modifiers are X11 masks (ShiftMask 1, Mod4Mask 0x40, LockMask 2 ...).
    ForeignGrab(unsigned keycode, unsigned modifiers);
    ~ForeignGrab();
    ForeignGrab(const ForeignGrab&) = delete;
    ForeignGrab& operator=(const ForeignGrab&) = delete;

    // The X error the grab met (0: it holds the grab).
    int error() const { return error_; }

private:
    Display* display_;
    unsigned keycode_, modifiers_;
    int error_ = 0;
};

}  // namespace parloquin_test
