#include "Platform/desktop/X11SyntheticKeyboard.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "Platform/desktop/VirtualKeyMap.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11ErrorTrap.h"

// Xlib after Qt and our headers: its macros clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace platform {
namespace {

struct LetterKey {
    std::uint16_t virtualKeyCode;
    char letter;
};

// The letter keys by virtual key code (their place on a US keyboard).
constexpr LetterKey kLetters[] = {
    {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},  {7, 'x'},  {8, 'c'},
    {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'}, {31, 'o'},
    {32, 'u'}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'},
};

struct ModifierKey {
    CGEventFlags flag;
    KeySym keysym;
    unsigned fallbackKeycode;  // the key's usual position
};

constexpr ModifierKey kModifiers[] = {
    {kCGEventFlagMaskControl, XK_Control_L, 37},
    {kCGEventFlagMaskShift, XK_Shift_L, 50},
    {kCGEventFlagMaskAlternate, XK_Alt_L, 64},
    {kCGEventFlagMaskCommand, XK_Super_L, 133},
};

constexpr unsigned long kReleaseDelayMilliseconds = 10;

}  // namespace

std::shared_ptr<SyntheticKeyboard> SyntheticKeyboard::system() {
    return std::make_shared<X11SyntheticKeyboard>(X11Connection::shared());
}

X11SyntheticKeyboard::X11SyntheticKeyboard(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

X11SyntheticKeyboard::~X11SyntheticKeyboard() {
    // Never leave a modifier held down behind.
    if (!connection_ || heldModifiers_.empty()) return;
    for (auto it = heldModifiers_.rbegin(); it != heldModifiers_.rend(); ++it) {
        XTestFakeKeyEvent(connection_->display(), *it, False, CurrentTime);
    }
    XFlush(connection_->display());
}

unsigned X11SyntheticKeyboard::keycodeFor(std::uint16_t virtualKeyCode) const {
    Display* display = connection_->display();
    for (const LetterKey& key : kLetters) {
        if (key.virtualKeyCode != virtualKeyCode) continue;
        const KeyCode keycode = XKeysymToKeycode(display, XStringToKeysym(std::string(1, key.letter).c_str()));
        if (keycode != 0) return keycode;
        break;
    }
    if (virtualKeyCode == 36) {  // Return
        const KeyCode keycode = XKeysymToKeycode(display, XK_Return);
        if (keycode != 0) return keycode;
    }
    return VirtualKeyMap::x11Keycode(virtualKeyCode).value_or(0);
}

bool X11SyntheticKeyboard::post(const CGEvent& event) {
    if (!connection_ || !connection_->hasXTest()) return false;
    if (event.type != CGEventType::keyDown && event.type != CGEventType::keyUp) return false;
    Display* display = connection_->display();
    const unsigned keycode = keycodeFor(event.keyCode);
    if (keycode == 0) return false;

    if (event.type == CGEventType::keyDown) {
        for (const ModifierKey& modifier : kModifiers) {
            if ((event.flags & modifier.flag) == 0) continue;
            unsigned code = XKeysymToKeycode(display, modifier.keysym);
            if (code == 0) code = modifier.fallbackKeycode;
            if (std::find(heldModifiers_.begin(), heldModifiers_.end(), code) != heldModifiers_.end()) continue;
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            heldModifiers_.push_back(code);
        }
        XTestFakeKeyEvent(display, keycode, True, CurrentTime);
        // Not flushed: the press goes out together with its release, so a stall of this thread
        // between the two can never hold the key down long enough for the server to repeat it.
        return true;
    }
    // The server keeps the key down for a moment itself, as a person's press would be.
    XTestFakeKeyEvent(display, keycode, False, kReleaseDelayMilliseconds);
    for (auto it = heldModifiers_.rbegin(); it != heldModifiers_.rend(); ++it) {
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    }
    heldModifiers_.clear();
    XFlush(display);
    return true;
}

bool X11SyntheticKeyboard::isAnyKeyDown() {
    if (!connection_) return false;
    char keys[32] = {};
    XQueryKeymap(connection_->display(), keys);
    return std::any_of(std::begin(keys), std::end(keys), [](char bits) { return bits != 0; });
}

std::vector<std::string> X11SyntheticKeyboard::focusedWindowClass() {
    if (!connection_) return {};
    Display* display = connection_->display();
    const Window root = connection_->rootWindow();
    // Windows may go away meanwhile: their errors are caught here and end the search.
    X11ErrorTrap trap(display);
    Window window = None;
    int revert = 0;
    XGetInputFocus(display, &window, &revert);
    if (window == None) return {};
    if (window == PointerRoot) window = root;

    // Keys go to the window under the pointer when that lies inside the focus window.
    for (int depth = 0; depth < 64; ++depth) {
        Window pointerRoot = None, child = None;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        if (!XQueryPointer(display, window, &pointerRoot, &child, &rootX, &rootY, &x, &y, &mask) || child == None)
            break;
        window = child;
    }
    for (int depth = 0; depth < 64 && window != None && window != root; ++depth) {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint)) {
            std::vector<std::string> names{hint.res_name ? hint.res_name : "", hint.res_class ? hint.res_class : ""};
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
            return names;
        }
        Window treeRoot = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, window, &treeRoot, &parent, &children, &count)) break;
        if (children) XFree(children);
        window = parent;
    }
    return {};
}

}  // namespace platform
