#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/hotkeys/HotkeySource.h"
#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Parloquin/hotkeys/TimerScheduler.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Platform/desktop/EventTapFactory.h"
#include "Platform/desktop/EventTarget.h"
#include "Platform/desktop/PermissionProbe.h"

namespace parloquin {

// Everything outside the hotkey manager that it talks to.
struct HotkeyEnvironment {
    std::shared_ptr<platform::EventTarget> eventTarget;
    std::shared_ptr<platform::EventTapFactory> eventTaps;
    std::shared_ptr<platform::PermissionProbe> permissions;
    std::shared_ptr<AlertPresenter> alerts;
    std::shared_ptr<TimerScheduler> timers;
    // Optional: without it the activation policy is left alone.
    std::shared_ptr<ApplicationActivation> application;
    // Opens a settings address; false when it could not be opened. Optional: without it nothing opens.
    std::function<bool(const std::string& address)> openURL;
    // A Wayland session: a program cannot grab keys over the desktop's own windows, only the
    // desktop binds them (through desktopSource where it offers that, else a desktop shortcut).
    bool waylandSession = false;
    // The desktop's binding of the hotkey given; nullptr where the session offers none.
    std::function<std::unique_ptr<HotkeySource>(const HotkeyTriple&)> desktopSource;

    // The desktop's own services: X11 hot keys, taps and permissions on one private connection,
    // Qt timers, the alerts given (the shell's message boxes); in a Wayland session the
    // GlobalShortcuts portal. This desktop has no privacy settings pane to open.
    static HotkeyEnvironment system(std::shared_ptr<AlertPresenter> alerts);
    // WAYLAND_DISPLAY is set, or the session says it is one.
    static bool isWaylandSession();
};

}  // namespace parloquin
