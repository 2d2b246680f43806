#pragma once

namespace parloquin {

// What the global hotkey turned out to be once the manager has registered it.
enum class HotkeyRegistration {
    combination,   // the chosen key combination
    singleKeyTap,  // the chosen lone modifier, watched on the event tap
    fallback,      // the fallback combination stands in while a permission is missing
    portal,           // the desktop bound it through the GlobalShortcuts portal (a Wayland session)
    portalPending,    // the desktop is asked through the portal and has not answered yet
    desktopShortcut,  // a Wayland session without the portal: a desktop shortcut running
                      // "parloquin --toggle" (or --start/--stop) is the way
    none,             // nothing could be registered
};

}  // namespace parloquin
