#pragma once

#include <memory>

#include "Platform/desktop/CGEvent.h"
#include "Platform/desktop/CGEventTap.h"

namespace platform {

// Creates event taps over the whole login session.
class EventTapFactory {
public:
    virtual ~EventTapFactory() = default;
    // nullptr when the desktop offers no way to watch the keyboard.
    virtual std::unique_ptr<CGEventTap> createEventTap(CGEventMask mask, CGEventTapCallBack callback) = 0;
};

}  // namespace platform
