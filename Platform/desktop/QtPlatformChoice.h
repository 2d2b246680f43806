#pragma once

#include <optional>
#include <string>

namespace platform {

// The Qt platform Parloquin asks for when the user chose none (QT_QPA_PLATFORM unset). Qt takes its
// Wayland platform in a Wayland session; but where the compositor offers no layer shell (GNOME's
// mutter), a Wayland window of Parloquin's (the recording overlay, the floating button) would take
// the keyboard focus from the window the text is for, and Qt's Wayland clipboard would reach other
// programs only while such a window has the focus. There, with XWayland present, X11 ("xcb") serves:
// its windows can stay out of the focus, and the compositor hands the X clipboard on.
class QtPlatformChoice {
public:
    QtPlatformChoice() = delete;

    // "xcb" in such a session; nothing where Qt's own choice serves.
    static std::optional<std::string> preferred();
};

}  // namespace platform
