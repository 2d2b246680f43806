#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/desktop/CGEvent.h"

namespace platform {

// Posts key events to the focused window as if they were typed. Main thread only.
class SyntheticKeyboard {
public:
    virtual ~SyntheticKeyboard() = default;

    // Posts a key-down or key-up of a virtual key code. The modifiers in the event's flags are held
    // from its key-down to its key-up. False when the event could not be posted.
    virtual bool post(const CGEvent& event) = 0;
    // Whether the user holds any key down now; a posted key would then reach the focused window
    // with the user's modifiers added, or go to the client whose grab that key activated.
    virtual bool isAnyKeyDown() = 0;
    // The window class (instance name, then class name) of the window that typed keys go to now,
    // taken from it or its nearest ancestor that has one; empty when unknown.
    virtual std::vector<std::string> focusedWindowClass() = 0;
    // Whether posted keys reach the window that has the keyboard focus now. A keyboard that serves
    // only some windows (XTest in a Wayland session reaches X windows only) says no for the others.
    virtual bool reachesFocusedWindow() { return true; }

    // The desktop's keyboard: XTEST on the process's shared X connection.
    static std::shared_ptr<SyntheticKeyboard> system();
};

}  // namespace platform
