#pragma once

#include <initializer_list>
#include <set>

typedef struct _XDisplay Display;

namespace parloquin_test {

// The test's keyboard: presses keys through XTEST on a connection of its own. Whatever it leaves
// changed (keys down, lock states, auto-repeat timing) is put back when it goes.
class XTestKeyboard {
public:
    XTestKeyboard();
    ~XTestKeyboard();
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool isOpen() const { return display_ != nullptr; }
    Display* display() const { return display_; }

    void press(unsigned keycode);
    void release(unsigned keycode);
    // Several keys in the order given, as a hand would.
    void press(std::initializer_list<unsigned> keycodes);
    void release(std::initializer_list<unsigned> keycodes);
    void releaseAll();
    // Lets the server repeat held keys quickly, so a test sees repeats without waiting long.
    void setFastAutoRepeat();
    void setLocks(bool capsLock, bool numLock);

    // X11 keycodes (evdev positions).
    static constexpr unsigned kSpace = 65, kLeftShift = 50, kRightShift = 62, kLeftAlt = 64, kRightAlt = 108,
                              kLeftSuper = 133, kLeftControl = 37, kCapsLock = 66, kNumLock = 77, kA = 38;

private:
    bool locked(unsigned mask) const;

    Display* display_;
    std::set<unsigned> down_;
    bool repeatChanged_ = false;
    unsigned repeatDelay_ = 0, repeatInterval_ = 0;
    bool capsChanged_ = false, numChanged_ = false;
};

}  // namespace parloquin_test
