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
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace platform {

struct X11EventTarget::State {
    struct Grab {
        int id;
        EventHotKeyID hotKeyID;
        unsigned keycode;
        unsigned modifiers;
        bool down = false;
        bool pressedAgain = false;  // the key went down anew without a release seen here
        bool heldBeforeGrab = false;  // down since before the registration: neither press nor release
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
    bool watchingRawKeys = false;

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

    // While a hot key is down, the raw key events of the root window tell whether its key really
    // stays down. The server sends none of them to us while our grab holds the keyboard; one that
    // arrives means the grab ended without its release reaching us (another client, such as a
    // screen locker, took the keyboard meanwhile). Raw events carry no auto-repeat.
    void watchRawKeys() {
        const bool wanted = std::any_of(grabs.begin(), grabs.end(), [](const Grab& grab) { return grab.down; });
        if (wanted == watchingRawKeys) return;
        watchingRawKeys = wanted;
        if (wanted)
            connection->retainRawKeyEvents();
        else
            connection->releaseRawKeyEvents();
    }

    Grab* find(int id) {
        auto it = std::find_if(grabs.begin(), grabs.end(), [&](const Grab& grab) { return grab.id == id; });
        return it == grabs.end() ? nullptr : &*it;
    }

    // Ends a press whose release went elsewhere.
    void releaseMissed(Grab& grab) {
        const bool pressed = !grab.heldBeforeGrab;
        grab.down = false;
        grab.pressedAgain = false;
        grab.heldBeforeGrab = false;
        const int id = grab.id;
        if (pressed) deliver(kEventHotKeyReleased, grab.hotKeyID);
        if (find(id)) watchRawKeys();
    }

    void handleRaw(const XIRawEvent& raw, bool press) {
        for (auto& grab : grabs) {
            if (!grab.down || grab.keycode != unsigned(raw.detail)) continue;
            if (press) {
                grab.pressedAgain = true;
            } else {
                releaseMissed(grab);
            }
            return;
        }
    }

    void handle(XEvent& event) {
        if (event.type == GenericEvent) {
            const XGenericEventCookie& cookie = event.xcookie;
            if (cookie.extension != connection->xinputOpcode() || cookie.data == nullptr) return;
            if (cookie.evtype != XI_RawKeyPress && cookie.evtype != XI_RawKeyRelease) return;
            handleRaw(*static_cast<const XIRawEvent*>(cookie.data), cookie.evtype == XI_RawKeyPress);
        } else if (event.type == KeyPress) {
            unsigned state = event.xkey.state & significantModifiers();
            for (auto& grab : grabs) {
                if (grab.keycode != event.xkey.keycode || grab.modifiers != state) continue;
                const int id = grab.id;
                if (grab.down) {
                    if (!grab.pressedAgain) return;  // auto-repeat
                    // A new press: the release of the one before was missed.
                    releaseMissed(grab);
                }
                Grab* pressed = find(id);
                if (!pressed) return;
                pressed->down = true;
                pressed->pressedAgain = false;
                watchRawKeys();
                deliver(kEventHotKeyPressed, pressed->hotKeyID);
                return;
            }
        } else if (event.type == KeyRelease) {
            for (auto& grab : grabs) {
                // The modifiers may be let go first: the key alone ends the press.
                if (grab.keycode != event.xkey.keycode || !grab.down) continue;
                if (isRepeatRelease(event.xkey)) return;
                const bool pressed = !grab.heldBeforeGrab;
                grab.down = false;
                grab.pressedAgain = false;
                grab.heldBeforeGrab = false;
                watchRawKeys();
                if (pressed) deliver(kEventHotKeyReleased, grab.hotKeyID);
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
        state->watchRawKeys();
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
    state_->watchRawKeys();
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

    // A key held right now (the one just pressed to choose this hot key, say) is not pressed here:
    // its auto-repeat would otherwise come as a press. The raw key events tell when it comes up.
    if (state_->connection->xinputOpcode() >= 0) {
        char keys[32] = {};
        XQueryKeymap(display, keys);
        if (keys[grab.keycode / 8] & (1 << (grab.keycode % 8))) grab.down = grab.heldBeforeGrab = true;
    }
    state_->grabs.push_back(grab);
    state_->watchRawKeys();
    if (outRef) *outRef = std::make_unique<X11EventHotKey>(state_, grab.id, hotKeyID);
    return noErr;
}

}  // namespace platform
