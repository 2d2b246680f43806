#pragma once

#include <functional>

#include "Platform/desktop/CGEvent.h"

namespace platform {

// Called for each event of the tap's mask on the main thread. Returns true to pass the event on,
// false to withhold it (where the desktop allows that).
using CGEventTapCallBack = std::function<bool(CGEventType, const CGEvent&)>;

// A session-wide keyboard event tap. It delivers nothing until enabled. Destroying it removes it.
class CGEventTap {
public:
    virtual ~CGEventTap() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

}  // namespace platform
