#pragma once

typedef struct _XDisplay Display;

namespace parloquin_test {

// Another X client holding the whole keyboard, as a screen locker does while it is up: every key
// event goes to it until it goes.
class ForeignKeyboardGrab {
public:
    ForeignKeyboardGrab();
    ~ForeignKeyboardGrab();
    ForeignKeyboardGrab(const ForeignKeyboardGrab&) = delete;
    ForeignKeyboardGrab& operator=(const ForeignKeyboardGrab&) = delete;

    // Whether the server granted the grab.
    bool holds() const { return holds_; }

private:
    Display* display_;
    bool holds_ = false;
};

}  // namespace parloquin_test
