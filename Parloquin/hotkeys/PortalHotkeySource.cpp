#include "Parloquin/hotkeys/PortalHotkeySource.h"

#include <cstdlib>
#include <string_view>

#include "Parloquin/hotkeys/ShortcutTrigger.h"

namespace parloquin {

std::unique_ptr<PortalHotkeySource> PortalHotkeySource::create(QDBusConnection bus, const HotkeyTriple& hotkey,
                                                               bool plasma5Session) {
    auto portal = platform::GlobalShortcutsPortal::create(
        std::move(bus), {QString::fromLatin1(shortcutId), QString::fromUtf8(description),
                         QString::fromStdString(ShortcutTrigger::portal(hotkey))});
    if (!portal) return nullptr;
    // Plasma 5.27 takes "Alt_L" and fires on it, but stores it as a key it cannot read back: the
    // shortcut is gone after the next login.
    std::unique_ptr<PortalHotkeySource> source(
        new PortalHotkeySource(std::move(portal), plasma5Session && hotkey.isSingleKey));
    return source;
}

std::unique_ptr<PortalHotkeySource> PortalHotkeySource::forSession(const HotkeyTriple& hotkey) {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const char* version = std::getenv("KDE_SESSION_VERSION");
    const bool plasma5 = desktop && std::string_view(desktop).find("KDE") != std::string_view::npos && version &&
                         std::string_view(version) == "5";
    return create(QDBusConnection::sessionBus(), hotkey, plasma5);
}

PortalHotkeySource::PortalHotkeySource(std::unique_ptr<platform::GlobalShortcutsPortal> portal,
                                       bool losesLoneModifier)
    : portal_(std::move(portal)), losesLoneModifier_(losesLoneModifier) {
    portal_->onActivated = [this] {
        if (onPressed) onPressed();
    };
    portal_->onDeactivated = [this] {
        if (onReleased) onReleased();
    };
    portal_->onChanged = [this] {
        if (onChanged) onChanged();
    };
}

HotkeyRegistration PortalHotkeySource::registration() const {
    switch (portal_->state()) {
        case platform::GlobalShortcutsPortal::State::bound: return HotkeyRegistration::portal;
        case platform::GlobalShortcutsPortal::State::starting: return HotkeyRegistration::portalPending;
        case platform::GlobalShortcutsPortal::State::refused:
        case platform::GlobalShortcutsPortal::State::lost: break;
    }
    return HotkeyRegistration::desktopShortcut;
}

std::string PortalHotkeySource::trigger() const { return portal_->trigger().toStdString(); }

std::string PortalHotkeySource::problem() const {
    if (!losesLoneModifier_ || portal_->state() != platform::GlobalShortcutsPortal::State::bound) return {};
    return "KDE Plasma 5.27 speichert eine einzelne Taste falsch: nach der nächsten Anmeldung ist das Tastenkürzel "
           "verschwunden. Wähle eine Tastenkombination wie Strg+Alt+Leertaste.";
}

}  // namespace parloquin
