#include "Parloquin/app/StatusMenuTexts.h"

#include "Parloquin/services/ModelStorageSize.h"
#include "Platform/text/UnicodeText.h"

namespace parloquin {
namespace {

constexpr std::string_view kFallbackHotkey = "⇧⌘Space";

std::string pressHint(std::string_view hotkey) {
    return "Drücke " + std::string(hotkey) + " überall um eine Aufnahme zu starten.";
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
    return "Aufnahme starten (" + std::string(hotkey) + ")";
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
    switch (registration) {
        case HotkeyRegistration::combination:
        case HotkeyRegistration::singleKeyTap:
            return pressHint(hotkey) + "\n" + models + "\nTastenkürzel: " + std::string(hotkey) + " registriert";
        case HotkeyRegistration::fallback:
            return pressHint(kFallbackHotkey) + "\n" + models + "\nTastenkürzel: " + std::string(kFallbackHotkey) +
                   " registriert (Ersatz für " + std::string(hotkey) + ", braucht X11 mit XInput 2)";
        case HotkeyRegistration::none:
            break;
    }
    return "Starte eine Aufnahme über das Menü.\n" + models + "\nTastenkürzel: " + std::string(hotkey) +
           " nicht registriert";
}

}  // namespace parloquin
