#include "Parloquin/app/StatusMenuTexts.h"

#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/services/ModelStorageSize.h"
#include "Platform/text/UnicodeText.h"

namespace parloquin {
namespace {

// The fallback the hotkey manager registers in place of a lone modifier it cannot watch.
constexpr std::string_view kFallbackHotkey = "Umschalt+Super+Leertaste";

std::string pressHint(const std::string& label) {
    return "Drücke " + label + " überall, um eine Aufnahme zu starten.";
}

}  // namespace

std::string StatusMenuTexts::statusLine(std::string_view text) { return "Parloquin - " + std::string(text); }

std::string StatusMenuTexts::recordCountStatus(std::size_t recordCount) {
    if (recordCount == 0) return "Bereit";
    if (recordCount == 1) return "1 Transkription";
    if (recordCount <= recentTranscriptionCount) return std::to_string(recordCount) + " Transkriptionen";
    return std::to_string(recentTranscriptionCount) + " letzte (" + std::to_string(recordCount) + " gesamt)";
}

std::string StatusMenuTexts::dictationItemTitle(std::string_view hotkey) {
    return "Aufnahme starten (" + hotkeyLabel(hotkey) + ")";
}

std::string StatusMenuTexts::recentTranscriptionTitle(std::string_view relativeTime, std::string_view text) {
    return std::string(relativeTime) + ": " + std::string(platform::characterPrefix(text, recentTranscriptionPrefix)) +
           "...";
}

std::string StatusMenuTexts::copiedNotificationBody(std::string_view text) {
    std::string_view prefix = platform::characterPrefix(text, copiedNotificationPrefix);
    if (prefix.size() == text.size()) return std::string(text);
    return std::string(prefix) + "...";
}

std::string StatusMenuTexts::readyNotificationBody(std::string_view hotkey, HotkeyRegistration registration,
                                                   std::uint64_t modelBytes) {
    const std::string models = "Modelle: Geladen (" + ModelStorageSize::text(modelBytes) + " zwischengespeichert)";
    const std::string label = hotkeyLabel(hotkey);
    switch (registration) {
        case HotkeyRegistration::combination:
            return pressHint(label) + "\n" + models + "\nTastenkürzel: " + label + " registriert";
        case HotkeyRegistration::singleKeyTap:
            return "Halte " + label + " überall gedrückt, um aufzunehmen.\n" + models + "\nTastenkürzel: " + label +
                   " registriert";
        case HotkeyRegistration::fallback:
            return pressHint(std::string(kFallbackHotkey)) + "\n" + models + "\nTastenkürzel: " +
                   std::string(kFallbackHotkey) + " registriert (Ersatz für " + label + ", braucht X11 mit XInput 2)";
        case HotkeyRegistration::portal:
            return pressHint(label) + "\n" + models + "\nTastenkürzel: " + label + " von der Arbeitsoberfläche vergeben";
        case HotkeyRegistration::portalPending:
            return "Die Arbeitsoberfläche fragt nach dem Tastenkürzel " + label +
                   "; bis dahin startet das Menü Aufnahmen.\n" + models + "\nTastenkürzel: " + label + " angefragt";
        case HotkeyRegistration::desktopShortcut:
            return "Lege in den Tastatur-Einstellungen der Arbeitsoberfläche ein Tastenkürzel an, das »parloquin "
                   "--toggle« ausführt (siehe Einstellungen → Tastenkürzel); bis dahin startet das Menü Aufnahmen.\n" +
                   models + "\nTastenkürzel: unter Wayland über die Arbeitsoberfläche";
        case HotkeyRegistration::none:
            break;
    }
    return "Starte eine Aufnahme über das Menü.\n" + models + "\nTastenkürzel: " + label +
           " nicht registriert (ein anderes Programm belegt es, oder die Sitzung erlaubt es nicht)";
}

}  // namespace parloquin
