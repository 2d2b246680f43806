#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QMetaObject>

class QSocketNotifier;
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace platform {

// A private connection to the X server, serviced on the Qt main thread: its socket is watched by the
// event loop, so nothing ever blocks waiting for the server, and events that Xlib has already read
// (during a round trip) are handed out before the loop sleeps again.
//
// Listeners see every event. A generic (XInput 2) event arrives with its cookie data already fetched.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    using Listener = std::function<void(XEvent&)>;

    // nullptr when no X server can be reached (no DISPLAY, or it refuses).
    static std::shared_ptr<X11Connection> open(const char* displayName = nullptr);
    // One connection for the whole process, opened on first use and kept while anyone holds it.
    static std::shared_ptr<X11Connection> shared();

    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const noexcept { return display_; }
    unsigned long rootWindow() const noexcept { return root_; }

    int addListener(Listener listener);
    void removeListener(int id);

    bool hasXTest() const noexcept { return hasXTest_; }
    // XInput major opcode and the version the server agreed to (at most 2.2); opcode -1 without XInput 2.
    int xinputOpcode() const noexcept { return xinputOpcode_; }
    int xinputMajor() const noexcept { return xinputMajor_; }
    int xinputMinor() const noexcept { return xinputMinor_; }
    // Whether the server sends key auto-repeat as further presses without releases.
    bool detectableAutoRepeat() const noexcept { return detectableAutoRepeat_; }

    // Raw key events on the root window are selected while at least one user wants them.
    void retainRawKeyEvents();
    void releaseRawKeyEvents();

    // Hands out every event that has arrived so far.
    void dispatchPending();

private:
    explicit X11Connection(Display* display);
    void dispatch(XEvent& event);
    void selectRawKeyEvents(bool on);

    Display* display_;
    unsigned long root_ = 0;
    bool hasXTest_ = false;
    int xinputOpcode_ = -1;
    int xinputMajor_ = 0;
    int xinputMinor_ = 0;
    bool detectableAutoRepeat_ = false;
    int rawKeyUsers_ = 0;
    int nextListenerId_ = 1;
    std::map<int, std::shared_ptr<Listener>> listeners_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMetaObject::Connection aboutToBlock_;
};

}  // namespace platform
