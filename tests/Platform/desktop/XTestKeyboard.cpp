#include "tests/Platform/desktop/XTestKeyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace parloquin_test {

XTestKeyboard::XTestKeyboard() : display_(XOpenDisplay(nullptr)) {}

XTestKeyboard::~XTestKeyboard() {
    if (!display_) return;
    releaseAll();
    if (capsChanged_) {
        press(kCapsLock);
        release(kCapsLock);
    }
    if (numChanged_) {
        press(kNumLock);
        release(kNumLock);
    }
    if (repeatChanged_) XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, repeatDelay_, repeatInterval_);
    XSync(display_, False);
    XCloseDisplay(display_);
}

void XTestKeyboard::press(unsigned keycode) {
    XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
    XSync(display_, False);
    down_.insert(keycode);
}

void XTestKeyboard::release(unsigned keycode) {
    XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
    XSync(display_, False);
    down_.erase(keycode);
}

void XTestKeyboard::press(std::initializer_list<unsigned> keycodes) {
    for (unsigned keycode : keycodes) press(keycode);
}

void XTestKeyboard::release(std::initializer_list<unsigned> keycodes) {
    for (unsigned keycode : keycodes) release(keycode);
}

void XTestKeyboard::releaseAll() {
    auto keys = down_;
    for (unsigned keycode : keys) release(keycode);
}

void XTestKeyboard::setFastAutoRepeat() {
    if (!repeatChanged_) {
        XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &repeatDelay_, &repeatInterval_);
        repeatChanged_ = true;
    }
    XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, 30, 15);
    XSync(display_, False);
}

bool XTestKeyboard::locked(unsigned mask) const {
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    return state.locked_mods & mask;
}

void XTestKeyboard::setLocks(bool capsLock, bool numLock) {
    unsigned numMask = XkbKeysymToModifiers(display_, XK_Num_Lock);
    if (locked(LockMask) != capsLock) {
        press(kCapsLock);
        release(kCapsLock);
        capsChanged_ = !capsChanged_;
    }
    if (locked(numMask) != numLock) {
        press(kNumLock);
        release(kNumLock);
        numChanged_ = !numChanged_;
    }
}

}  // namespace parloquin_test
