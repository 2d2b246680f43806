#pragma once

#include "Parloquin/services/AlertPresenter.h"

namespace parloquin {

// The one-time guidance when no way to paste works in this session: what Parloquin does instead
// (the clipboard, Ctrl+V) and what the user can do on this desktop. One button: there is no
// settings page on Linux that grants synthetic input.
struct PasteGuidance {
    enum class Desktop { x11, kde, gnome, wlroots, otherWayland };

    // From the session's variables: WAYLAND_DISPLAY / XDG_SESSION_TYPE, XDG_CURRENT_DESKTOP.
    static Desktop current();
    static Alert alert(Desktop desktop);
};

}  // namespace parloquin
