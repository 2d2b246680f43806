#pragma once

#include <functional>
#include <string>

#include "Parloquin/hotkeys/HotkeyRegistration.h"

namespace parloquin {

// Where a press of the dictation hotkey comes from when the desktop binds the keys itself rather
// than letting a program grab them (a Wayland session). The X11 grab is the hotkey manager's own
// path; the command line ("parloquin --toggle" bound as a desktop shortcut) needs no source, as
// its commands reach the application directly.
//
// onPressed and onReleased come from the main loop, once per press and release.
class HotkeySource {
public:
    virtual ~HotkeySource() = default;

    std::function<void()> onPressed;
    std::function<void()> onReleased;
    // The registration or the trigger changed.
    std::function<void()> onChanged;

    virtual HotkeyRegistration registration() const = 0;
    // What the desktop says the keys are, as it bound them; empty where it says nothing.
    virtual std::string trigger() const = 0;
    // Why the hotkey will not last although it works now (Plasma 5.27 forgets a lone modifier at
    // the next login); empty when nothing is wrong.
    virtual std::string problem() const = 0;
};

}  // namespace parloquin
