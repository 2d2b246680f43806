#pragma once

#include <memory>

#include "Platform/desktop/EventTapFactory.h"

namespace platform {

class X11Connection;

// Event taps over XInput 2 raw key events on the root window, which arrive whatever window has the
// focus and even while another client grabs the keyboard.
//
// Keys become key-down and key-up events with their virtual key codes; a further press of a key that
// is already down is a key-down marked autorepeat. The eight modifier keys (left and right Control,
// Shift, Alt and Super) become flags-changed events instead, one per change of a key's state, carrying
// the modifiers held afterwards. Raw events cannot be withheld from other clients: a tap callback's
// request to swallow an event has no effect here.
class X11EventTapFactory : public EventTapFactory {
public:
    explicit X11EventTapFactory(std::shared_ptr<X11Connection> connection);

    // nullptr without a connection or without XInput 2.
    std::unique_ptr<CGEventTap> createEventTap(CGEventMask mask, CGEventTapCallBack callback) override;

private:
    std::shared_ptr<X11Connection> connection_;
};

}  // namespace platform
