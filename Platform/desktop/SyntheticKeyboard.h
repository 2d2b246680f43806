#pragma once

#include <memory>

#include "Platform/desktop/CGEvent.h"

namespace platform {

// Posts key events to the focused window as if they were typed. Main thread only.
class SyntheticKeyboard {
public:
    virtual ~SyntheticKeyboard() = default;

    // Posts a key-down or key-up of a virtual key code. The modifiers in the event's flags are held
    // from its key-down to its key-up. False when the event could not be posted.
    virtual bool post(const CGEvent& event) = 0;

    // The desktop's keyboard: XTEST on the process's shared X connection.
    static std::shared_ptr<SyntheticKeyboard> system();
};

}  // namespace platform
