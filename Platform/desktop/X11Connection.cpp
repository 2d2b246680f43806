#include "Platform/desktop/X11Connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <mutex>
#include <vector>

// Xlib after Qt: its macros (Bool, Status, None) clash with Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

namespace platform {

std::shared_ptr<X11Connection> X11Connection::open(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (!display) return nullptr;
    return std::shared_ptr<X11Connection>(new X11Connection(display));
}

std::shared_ptr<X11Connection> X11Connection::shared() {
    static std::mutex mutex;
    static std::weak_ptr<X11Connection> cached;
    std::lock_guard lock(mutex);
    auto connection = cached.lock();
    if (!connection) {
        connection = open();
        cached = connection;
    }
    return connection;
}

X11Connection::X11Connection(Display* display) : display_(display), root_(DefaultRootWindow(display)) {
    int event = 0, error = 0, major = 0, minor = 0;
    hasXTest_ = XTestQueryExtension(display_, &event, &error, &major, &minor);

    int opcode = 0;
    if (XQueryExtension(display_, "XInputExtension", &opcode, &event, &error)) {
        // 2.1 and later deliver raw events even while another client grabs the keyboard.
        int wantMajor = 2, wantMinor = 2;
        if (XIQueryVersion(display_, &wantMajor, &wantMinor) == Success && wantMajor >= 2) {
            xinputOpcode_ = opcode;
            xinputMajor_ = wantMajor;
            xinputMinor_ = wantMinor;
        }
    }

    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
    detectableAutoRepeat_ = supported;

    notifier_ = std::make_unique<QSocketNotifier>(ConnectionNumber(display_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { dispatchPending(); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(notifier_->thread())) {
        // A round trip (XSync) may have read events into Xlib's queue; the socket then stays quiet.
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, notifier_.get(),
                                         [this] { dispatchPending(); });
    }
    XFlush(display_);
}

X11Connection::~X11Connection() {
    QObject::disconnect(aboutToBlock_);
    notifier_.reset();
    XCloseDisplay(display_);
}

int X11Connection::addListener(Listener listener) {
    int id = nextListenerId_++;
    listeners_.emplace(id, std::make_shared<Listener>(std::move(listener)));
    return id;
}

void X11Connection::removeListener(int id) { listeners_.erase(id); }

void X11Connection::retainRawKeyEvents() {
    if (rawKeyUsers_++ == 0) selectRawKeyEvents(true);
}

void X11Connection::releaseRawKeyEvents() {
    if (rawKeyUsers_ > 0 && --rawKeyUsers_ == 0) selectRawKeyEvents(false);
}

void X11Connection::selectRawKeyEvents(bool on) {
    if (xinputOpcode_ < 0) return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
    }
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display_, root_, &mask, 1);
    XSync(display_, False);  // in force before the caller goes on; events read meanwhile go out before the loop sleeps
}

void X11Connection::dispatchPending() {
    auto keepAlive = shared_from_this();  // a listener may drop the last other reference
    XFlush(display_);
    while (XEventsQueued(display_, QueuedAfterReading) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(event);
    }
}

void X11Connection::dispatch(XEvent& event) {
    bool haveData = event.type == GenericEvent && XGetEventData(display_, &event.xcookie);
    std::vector<std::pair<int, std::shared_ptr<Listener>>> snapshot(listeners_.begin(), listeners_.end());
    for (auto& [id, listener] : snapshot) {
        if (listeners_.count(id)) (*listener)(event);  // removed meanwhile: skip
    }
    if (haveData) XFreeEventData(display_, &event.xcookie);
}

}  // namespace platform
