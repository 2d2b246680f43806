#include "Parloquin/services/PasteGuidance.h"

#include <cstdlib>
#include <string_view>

#include "Platform/desktop/X11PermissionProbe.h"

namespace parloquin {
namespace {

// XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
bool desktopNamed(std::string_view list, std::string_view name) {
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        if (list.substr(0, colon) == name) return true;
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return false;
}

}  // namespace

PasteGuidance::Desktop PasteGuidance::current() {
    if (!platform::X11PermissionProbe::isWaylandSession()) return Desktop::x11;
    const char* value = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string_view desktop = value ? value : "";
    if (desktopNamed(desktop, "KDE")) return Desktop::kde;
    if (desktopNamed(desktop, "GNOME")) return Desktop::gnome;
    for (std::string_view wlroots : {"sway", "Hyprland", "river", "wlroots", "Wayfire", "labwc"})
        if (desktopNamed(desktop, wlroots)) return Desktop::wlroots;
    return Desktop::otherWayland;
}

Alert PasteGuidance::alert(Desktop desktop) {
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.messageText = "Automatisches Einfügen ist hier nicht möglich";
    std::string why;
    switch (desktop) {
        case Desktop::x11:
            why = "Zum Einfügen drückt Parloquin Strg+V über die XTEST-Erweiterung des X-Servers, und dieser "
                  "X-Server bietet sie nicht an. Melde dich in einer Sitzung an, deren X-Server XTEST anbietet "
                  "(Xorg und XWayland tun das).";
            break;
        case Desktop::kde:
            why = "KDE Plasma lässt nur Programme Tasten senden, deren installierte Desktop-Datei das anmeldet. "
                  "Installiere Parloquin aus seinem Paket, dann fügt es ohne Rückfrage ein. In Fenster von "
                  "X-Programmen (XWayland) fügt es schon jetzt ein.";
            break;
        case Desktop::gnome:
            why = "GNOME lässt Parloquin nur dann Tasten senden, wenn du es in der Rückfrage des Desktops "
                  "erlaubst (Fernsteuerung, nur die Tastatur). Die Rückfrage wurde abgelehnt, oder dieser "
                  "Desktop bietet sie nicht an (das Paket xdg-desktop-portal-gnome fehlt). Nach der nächsten "
                  "Anmeldung fragt Parloquin wieder. In Fenster von X-Programmen (XWayland) fügt es schon "
                  "jetzt ein.";
            break;
        case Desktop::wlroots:
            why = "Dieser Desktop bietet die virtuelle Tastatur von wlroots (zwp_virtual_keyboard_v1) nicht an, "
                  "über die Parloquin Strg+V drückt. In Fenster von X-Programmen (XWayland) fügt es ein.";
            break;
        case Desktop::otherWayland:
            why = "Dieser Wayland-Desktop bietet Parloquin keinen Weg, Tasten zu senden. Automatisch eingefügt "
                  "wird unter KDE Plasma, unter GNOME (nach deiner Erlaubnis), unter sway und anderen "
                  "wlroots-Desktops, unter X11 und überall in Fenster von X-Programmen (XWayland).";
            break;
    }
    alert.informativeText =
        "Parloquin legt jeden diktierten Text in die Zwischenablage – füge ihn mit Strg+V ein.\n\n" + why;
    alert.buttons = {"OK"};
    return alert;
}

}  // namespace parloquin
