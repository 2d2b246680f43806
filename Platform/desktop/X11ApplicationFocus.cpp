#include "Platform/desktop/X11ApplicationFocus.h"

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11ErrorTrap.h"

// Xlib after Qt and our headers: its macros clash with them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform {
namespace {

constexpr int kMaximumDepth = 64;

std::vector<unsigned long> cardinals(Display* display, Window window, const char* name, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type, &actualType,
                           &format, &count, &remaining, &data) == Success &&
        actualType == type && format == 32 && data) {
        const auto* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

bool hasProperty(Display* display, Window window, const char* name) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 0, False,
                                          AnyPropertyType, &actualType, &format, &count, &remaining,
                                          &data) == Success &&
                       actualType != None;
    if (data) XFree(data);
    return found;
}

bool windowManagerRunning(Display* display) {
    const std::string selection = "WM_S" + std::to_string(DefaultScreen(display));
    return XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
}

bool isOurs(Display* display, Window window) {
    const auto pid = cardinals(display, window, "_NET_WM_PID", XA_CARDINAL);
    return !pid.empty() && pid.front() == static_cast<unsigned long>(getpid());
}

// A window an application works in: shown, not minimised, and not a panel, desktop or popup.
bool isApplicationWindow(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    if (attributes.map_state != IsViewable || attributes.c_class != InputOutput) return false;
    if (attributes.override_redirect) return false;
    const auto types = cardinals(display, window, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    if (!types.empty()) {
        const Atom normal = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
        const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        if (types.front() != normal && types.front() != dialog) return false;
    }
    const auto states = cardinals(display, window, "_NET_WM_STATE", XA_ATOM);
    const Atom hidden = XInternAtom(display, "_NET_WM_STATE_HIDDEN", False);
    return std::find(states.begin(), states.end(), hidden) == states.end();
}

// The client window inside a top-level window (a window manager's frame holds it): the window
// itself or the first descendant that carries WM_STATE; the window itself when none does.
Window clientWindow(Display* display, Window window, int depth = 0) {
    if (hasProperty(display, window, "WM_STATE") || depth > 4) return window;
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && found == None; ++i) {
            const Window inner = clientWindow(display, children[i], depth + 1);
            if (hasProperty(display, inner, "WM_STATE")) found = inner;
        }
    }
    if (children) XFree(children);
    return found == None ? window : found;
}

std::optional<Window> activeWindow(Display* display, Window root) {
    const auto active = cardinals(display, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (active.empty() || active.front() == None) return std::nullopt;
    return active.front();
}

// Top-level windows from the top of the stack down.
std::vector<Window> stackedWindows(Display* display, Window root) {
    auto stacking = cardinals(display, root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    std::vector<Window> windows(stacking.rbegin(), stacking.rend());
    if (!windows.empty()) return windows;
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned i = count; i-- > 0;) windows.push_back(clientWindow(display, children[i]));
    }
    if (children) XFree(children);
    return windows;
}

}  // namespace

std::shared_ptr<ApplicationFocus> ApplicationFocus::system() {
    return std::make_shared<X11ApplicationFocus>(X11Connection::shared());
}

X11ApplicationFocus::X11ApplicationFocus(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {}

std::optional<ApplicationFocus::WindowId> X11ApplicationFocus::previousWindow() {
    if (!connection_) return std::nullopt;
    Display* display = connection_->display();
    const Window root = connection_->rootWindow();
    // Windows may go away while we look: their errors are caught and they are passed over.
    X11ErrorTrap trap(display);
    if (const auto active = activeWindow(display, root);
        active && !isOurs(display, *active) && isApplicationWindow(display, *active))
        return *active;
    for (const Window window : stackedWindows(display, root)) {
        if (window == None || isOurs(display, window)) continue;
        // A frame's attributes stand for the client it holds while no window manager lists clients.
        if (isApplicationWindow(display, window)) return window;
    }
    return std::nullopt;
}

bool X11ApplicationFocus::activate(WindowId window) {
    if (!connection_ || window == None) return false;
    Display* display = connection_->display();
    const Window root = connection_->rootWindow();
    X11ErrorTrap trap(display);
    if (windowManagerRunning(display)) {
        // Source 2: a request on the user's behalf, which window managers grant without a time stamp.
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    }
    return trap.sync() == 0;
}

bool X11ApplicationFocus::hasFocus(WindowId window) {
    if (!connection_ || window == None) return false;
    Display* display = connection_->display();
    X11ErrorTrap trap(display);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    for (int depth = 0; depth < kMaximumDepth && focus != None && focus != PointerRoot; ++depth) {
        if (focus == window) return true;
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, focus, &root, &parent, &children, &count)) return false;
        if (children) XFree(children);
        if (parent == root) break;
        focus = parent;
    }
    // A window manager may keep the focus on its frame; the active window names the client then.
    if (!windowManagerRunning(display)) return false;
    const auto active = activeWindow(display, connection_->rootWindow());
    return active && *active == window && focus != None && focus != PointerRoot;
}

}  // namespace platform
