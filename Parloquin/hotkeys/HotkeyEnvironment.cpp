#include "Parloquin/hotkeys/HotkeyEnvironment.h"

#include <cstdlib>
#include <string_view>

#include "Parloquin/hotkeys/PortalHotkeySource.h"

#include "Parloquin/hotkeys/QtTimerScheduler.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11EventTapFactory.h"
#include "Platform/desktop/X11EventTarget.h"
#include "Platform/desktop/X11PermissionProbe.h"

namespace parloquin {

bool HotkeyEnvironment::isWaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display && *display) || (type && std::string_view(type) == "wayland");
}

HotkeyEnvironment HotkeyEnvironment::system(std::shared_ptr<AlertPresenter> alerts) {
    auto connection = platform::X11Connection::shared();
    HotkeyEnvironment environment;
    environment.eventTarget = std::make_shared<platform::X11EventTarget>(connection);
    environment.eventTaps = std::make_shared<platform::X11EventTapFactory>(connection);
    environment.permissions = std::make_shared<platform::X11PermissionProbe>(connection);
    environment.alerts = std::move(alerts);
    environment.timers = std::make_shared<QtTimerScheduler>();
    environment.openURL = [](const std::string&) { return false; };
    environment.waylandSession = isWaylandSession();
    if (environment.waylandSession)
        environment.desktopSource = [](const HotkeyTriple& hotkey) -> std::unique_ptr<HotkeySource> {
            return PortalHotkeySource::forSession(hotkey);
        };
    return environment;
}

}  // namespace parloquin
