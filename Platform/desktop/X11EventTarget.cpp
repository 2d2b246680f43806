#include "Platform/desktop/X11EventTarget.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "Platform/desktop/VirtualKeyMap.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11ErrorTrap.h"

// Xlib after Qt: its macros (Bool, Status, None) clash with Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace platform {

struct X11EventTarget::State {
    struct Grab {
        int id;
        EventHotKeyID hotKeyID;
        unsigned keycode;
        unsigned modifiers;
        bool down = false;
    };
    struct Handler {
        std::vector<EventTypeSpec> types;
        std::shared_ptr<EventHandlerProc> proc;
    };

    std::shared_ptr<X11Connection> connection;
    int listenerId = 0;
    unsigned numLockMask = Mod2Mask;
    int nextId = 1;
    std::vector<Grab> grabs;
    std::map<int, Handler> handlers;

    std::array<unsigned, 4> lockVariants() const {
        return {0u, unsigned(LockMask), numLockMask, unsigned(LockMask) | numLockMask};
    }
    unsigned significantModifiers() const {
        return (ShiftMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask) & ~numLockMask;
    }

    void ungrab(const Grab& grab) {
        Display* display = connection->display();
        for (unsigned variant : lockVariants())
            XUngrabKey(display, int(grab.keycode), grab.modifiers | variant, connection->rootWindow());
        XSync(display, False);  // free for other clients once this returns
    }

    void deliver(std::uint32_t kind, EventHotKeyID hotKeyID) {
        std::vector<std::pair<int, std::shared_ptr<EventHandlerProc>>> snapshot;
        for (auto& [id, handler] : handlers) {
            bool wanted = std::any_of(handler.types.begin(), handler.types.end(), [&](const EventTypeSpec& t) {
                return t.eventClass == kEventClassKeyboard && t.eventKind == kind;
            });
            if (wanted) snapshot.emplace_back(id, handler.proc);
        }
        for (auto& [id, proc] : snapshot)
            if (handlers.count(id)) (*proc)(HotKeyEvent{kind, hotKeyID});
    }

    // Without detectable auto-repeat the server sends a held key as release + press pairs with one
    // time stamp; such a release is no release.
    bool isRepeatRelease(const XKeyEvent& release) {
        if (connection->detectableAutoRepeat()) return false;
        Display* display = connection->display();
        if (XEventsQueued(display, QueuedAfterReading) == 0) return false;
        XEvent next;
        XPeekEvent(display, &next);
        return next.type == KeyPress && next.xkey.keycode == release.keycode && next.xkey.time == release.time;
    }

    void handle(XEvent& event) {
        if (event.type == KeyPress) {
            unsigned state = event.xkey.state & significantModifiers();
            for (auto& grab : grabs) {
                if (grab.keycode != event.xkey.keycode || grab.modifiers != state) continue;
                if (grab.down) return;  // auto-repeat
                grab.down = true;
                deliver(kEventHotKeyPressed, grab.hotKeyID);
                return;
            }
        } else if (event.type == KeyRelease) {
            for (auto& grab : grabs) {
                // The modifiers may be let go first: the key alone ends the press.
                if (grab.keycode != event.xkey.keycode || !grab.down) continue;
                if (isRepeatRelease(event.xkey)) return;
                grab.down = false;
                deliver(kEventHotKeyReleased, grab.hotKeyID);
                return;
            }
        }
    }
};

namespace {

class X11EventHandler : public EventHandler {
public:
    X11EventHandler(std::weak_ptr<X11EventTarget::State> state, int id) : state_(std::move(state)), id_(id) {}
    ~X11EventHandler() override {
        if (auto state = state_.lock()) state->handlers.erase(id_);
    }

private:
    std::weak_ptr<X11EventTarget::State> state_;
    int id_;
};

class X11EventHotKey : public EventHotKey {
public:
    X11EventHotKey(std::weak_ptr<X11EventTarget::State> state, int id, EventHotKeyID hotKeyID)
        : state_(std::move(state)), id_(id), hotKeyID_(hotKeyID) {}
    ~X11EventHotKey() override {
        auto state = state_.lock();
        if (!state) return;
        auto it = std::find_if(state->grabs.begin(), state->grabs.end(), [&](auto& g) { return g.id == id_; });
        if (it == state->grabs.end()) return;
        state->ungrab(*it);
        state->grabs.erase(it);
    }
    EventHotKeyID hotKeyID() const override { return hotKeyID_; }

private:
    std::weak_ptr<X11EventTarget::State> state_;
    int id_;
    EventHotKeyID hotKeyID_;
};

std::optional<unsigned> x11Modifiers(std::uint32_t carbonModifiers) {
    constexpr std::uint32_t known = cmdKey | shiftKey | optionKey | controlKey;
    if (carbonModifiers & ~known) return std::nullopt;
    unsigned mask = 0;
    if (carbonModifiers & cmdKey) mask |= Mod4Mask;
    if (carbonModifiers & shiftKey) mask |= ShiftMask;
    if (carbonModifiers & optionKey) mask |= Mod1Mask;
    if (carbonModifiers & controlKey) mask |= ControlMask;
    return mask;
}

}  // namespace

X11EventTarget::X11EventTarget(std::shared_ptr<X11Connection> connection) : state_(std::make_shared<State>()) {
    state_->connection = std::move(connection);
    if (!state_->connection) return;
    unsigned numLock = XkbKeysymToModifiers(state_->connection->display(), XK_Num_Lock);
    if (numLock) state_->numLockMask = numLock;
    std::weak_ptr<State> weak = state_;
    state_->listenerId = state_->connection->addListener([weak](XEvent& event) {
        if (auto state = weak.lock()) state->handle(event);
    });
}

X11EventTarget::~X11EventTarget() {
    if (!state_->connection) return;
    for (auto& grab : state_->grabs) state_->ungrab(grab);
    state_->grabs.clear();
    state_->connection->removeListener(state_->listenerId);
}

OSStatus X11EventTarget::installEventHandler(std::vector<EventTypeSpec> types, EventHandlerProc handler,
                                             std::unique_ptr<EventHandler>* outRef) {
    if (!handler) return paramErr;
    int id = state_->nextId++;
    state_->handlers.emplace(id, State::Handler{std::move(types), std::make_shared<EventHandlerProc>(std::move(handler))});
    if (outRef) *outRef = std::make_unique<X11EventHandler>(state_, id);
    return noErr;
}

OSStatus X11EventTarget::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                                             std::unique_ptr<EventHotKey>* outRef) {
    if (!state_->connection) return eventInternalErr;
    auto keycode = VirtualKeyMap::x11Keycode(keyCode);
    auto mask = x11Modifiers(modifiers);
    if (!keycode || !mask) return paramErr;
    for (auto& grab : state_->grabs)
        if (grab.keycode == *keycode && grab.modifiers == *mask) return eventHotKeyExistsErr;

    State::Grab grab{state_->nextId++, hotKeyID, *keycode, *mask};
    Display* display = state_->connection->display();
    int error = 0;
    {
        X11ErrorTrap trap(display);
        for (unsigned variant : state_->lockVariants())
            XGrabKey(display, int(grab.keycode), grab.modifiers | variant, state_->connection->rootWindow(), False,
                     GrabModeAsync, GrabModeAsync);
        error = trap.sync();
        if (error) {
            // Release the variants that were granted; ungrabbing one we never held changes nothing.
            for (unsigned variant : state_->lockVariants())
                XUngrabKey(display, int(grab.keycode), grab.modifiers | variant, state_->connection->rootWindow());
        }
    }
    if (error) return error == BadAccess ? eventHotKeyExistsErr : eventHotKeyInvalidErr;

    state_->grabs.push_back(grab);
    if (outRef) *outRef = std::make_unique<X11EventHotKey>(state_, grab.id, hotKeyID);
    return noErr;
}

}  // namespace platform
