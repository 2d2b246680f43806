#pragma once

#include <QDBusConnection>
#include <memory>

#include "Parloquin/hotkeys/HotkeySource.h"
#include "Parloquin/hotkeys/HotkeyTriple.h"
#include "Platform/desktop/GlobalShortcutsPortal.h"

namespace parloquin {

// The dictation hotkey bound by the desktop through the GlobalShortcuts portal, with the stored
// hotkey as the preferred trigger: Activated is the press, Deactivated the release.
class PortalHotkeySource : public HotkeySource {
public:
    // nullptr where the bus has no GlobalShortcuts portal.
    static std::unique_ptr<PortalHotkeySource> create(QDBusConnection bus, const HotkeyTriple& hotkey,
                                                      bool plasma5Session);
    // For a session of the user's own: the session bus and what the environment says the desktop is.
    static std::unique_ptr<PortalHotkeySource> forSession(const HotkeyTriple& hotkey);

    HotkeyRegistration registration() const override;
    std::string trigger() const override;
    std::string problem() const override;

    platform::GlobalShortcutsPortal& portal() { return *portal_; }

    static constexpr const char* shortcutId = "dictation";
    static constexpr const char* description = "Diktat starten und beenden";

private:
    PortalHotkeySource(std::unique_ptr<platform::GlobalShortcutsPortal> portal, bool losesLoneModifier);

    std::unique_ptr<platform::GlobalShortcutsPortal> portal_;
    bool losesLoneModifier_;
};

}  // namespace parloquin
