#pragma once

#include <memory>

#include "Platform/desktop/EventTarget.h"

namespace platform {

class X11Connection;

// Hot keys as passive key grabs on the root window of a private X connection.
//
// The modifiers map as ⌘ → Super (Mod4), ⌥ → Alt (Mod1), ⌃ → Control, ⇧ → Shift. Each hot key is
// grabbed four times, plain and with Caps Lock, Num Lock and both, so that lock states do not disable
// it. A grab the server refuses (another client holds the combination) fails the registration at once,
// leaving none of the four grabs behind. Presses are reported once per physical press; releases too.
// A release that another client took (it grabbed the keyboard while the key was down) is reported
// when the key comes up, or at the latest before the key's next press. A key held down while its hot
// key is registered reports nothing until it has come up and goes down again.
class X11EventTarget : public EventTarget {
public:
    // With a null connection every registration fails with eventInternalErr.
    explicit X11EventTarget(std::shared_ptr<X11Connection> connection);
    ~X11EventTarget() override;

    OSStatus installEventHandler(std::vector<EventTypeSpec> types, EventHandlerProc handler,
                                 std::unique_ptr<EventHandler>* outRef) override;
    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                                 std::unique_ptr<EventHotKey>* outRef) override;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform
