#include "Parloquin/views/HotkeysSettings.h"

#include <cstdlib>

#include "Parloquin/hotkeys/HotkeyModifier.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/hotkeys/ShortcutTrigger.h"
#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {

using Value = HotkeysSettings::Value;

namespace {

// Neither grant has a settings pane on this desktop: the page says what each takes instead.
constexpr const char* kAccessibilityNote =
    "Unter Linux gibt es dafür keine Einstellung: Einfügen an der Cursorposition braucht unter X11 einen X-Server mit "
    "der XTEST-Erweiterung, unter Wayland KDE Plasma, GNOME (es fragt einmal) oder sway und andere "
    "wlroots-Arbeitsoberflächen. Diese Sitzung bietet keinen dieser Wege: der Text liegt in der Zwischenablage.";
constexpr const char* kInputMonitoringNote =
    "Unter Linux gibt es dafür keine Einstellung: Einzeltasten-Tastenkürzel brauchen eine X11-Sitzung, deren "
    "X-Server XInput 2 bietet; unter Wayland nimmt nur KDE Plasma eine einzelne Taste an, und Plasma 5.27 vergisst "
    "sie bei der nächsten Anmeldung.";
constexpr const char* kSingleKeyNote = "Keine Einstellung unter Linux: braucht eine X11-Sitzung mit XTEST und XInput 2";
// What the hotkey manager registers while it cannot watch a lone modifier.
constexpr const char* kFallbackHotkey = "⇧⌘Space";

}  // namespace

const std::vector<HotkeysSettings::Field>& HotkeysSettings::fields() {
    static const std::vector<Field> fields = {
        {settings::kPrimaryHotkey, Value(std::string(defaultHotkey))},
        {settings::kRecordingMode, Value(std::string("auto"))},
        {settings::kPasteInPlaceMode, Value(true)},
        {settings::kCancelHotkey, Value(std::string("Escape"))},
        {settings::kHotkeyFeedback, Value(true)},
    };
    return fields;
}

Value HotkeysSettings::defaultValue(const std::string& key) { return SettingField::defaultFor(fields(), key); }

const std::vector<HotkeysSettings::Option>& HotkeysSettings::recordingModes() {
    static const std::vector<Option> options = {{"Automatisch", "auto"}, {"Umschalten", "toggle"}, {"Halten", "hold"}};
    return options;
}

const std::vector<HotkeysSettings::Option>& HotkeysSettings::cancelKeys() {
    // The stored value of the second stays "⌘.".
    static const std::vector<Option> options = {{"Escape", "Escape"}, {"Super+.", "⌘."}, {"Keine", "none"}};
    return options;
}

const std::vector<HotkeysSettings::Preset>& HotkeysSettings::singleKeyPresets() {
    static const std::vector<Preset> presets = {
        {"⌥", "Alt-Taste (Halten zum Aufnehmen)"},
        {"⌘", "Super-Taste (Halten zum Aufnehmen)"},
    };
    return presets;
}

const std::vector<HotkeysSettings::Preset>& HotkeysSettings::combinationPresets() {
    static const std::vector<Preset> presets = {
        // "⌘⇧Space", stored by earlier versions, is the same keys as "⇧⌘Space": its row is that one.
        {"⌃⌥Space", "Standard: von keiner verbreiteten Arbeitsoberfläche belegt"},
        {"⌥Space", "Unter GNOME das Fenstermenü, unter KDE Plasma KRunner"},
        {"⇧⌘Space", "Bisheriger Standard; unter GNOME der Wechsel der Eingabequelle"},
    };
    return presets;
}

const std::vector<HotkeysSettings::Tip>& HotkeysSettings::tips() {
    static const std::vector<Tip> tips = {
        {"hand.tap.fill", "Einzeltasten (Alt, Super): Halten zum Aufnehmen, loslassen zum Transkribieren"},
        {"keyboard.fill", "Tastenkombinationen: Einmal drücken zum Starten, nochmal zum Stoppen"},
        {"checkmark.shield.fill", "Intelligenter Filter: Alt+Rücktaste löst keine Aufnahme aus"},
        {"lightbulb.fill",
         "Vermeide Tastenkürzel die vom System verwendet werden (z.B. Super+Leertaste, mit der GNOME die "
         "Tastaturbelegung wechselt)"},
        {"accessibility", "Direkt einfügen geht unter X11, KDE Plasma, GNOME und sway; sonst liegt der Text in der "
                          "Zwischenablage"},
    };
    return tips;
}

std::string HotkeysSettings::modeName(std::string_view recordingMode, std::string_view hotkey) {
    if (recordingMode == "toggle") return "Umschaltmodus";
    if (recordingMode == "hold") return "Halten-zum-Aufnehmen";
    return isSingleKeyHotkey(hotkey) ? "Halten-zum-Aufnehmen" : "Umschaltmodus";
}

HotkeysSettings::Status HotkeysSettings::currentStatus(std::string_view hotkey, std::string_view recordingMode,
                                                       std::optional<HotkeyRegistration> registration,
                                                       bool accessibilityGranted, bool inputMonitoringGranted,
                                                       std::string_view desktopTrigger) {
    const std::string label = hotkeyLabel(hotkey);
    const std::string mode = modeName(recordingMode, hotkey);
    const Status fallback{"exclamationmark.triangle.fill", Tone::orange,
                          "Ersatz-Tastenkürzel aktiv (" + hotkeyLabel(kFallbackHotkey) + ") – " + label +
                              " braucht eine X11-Sitzung mit XInput 2",
                          kSingleKeyNote};
    if (!registration) {
        if (isSingleKeyHotkey(hotkey) && !(accessibilityGranted && inputMonitoringGranted))
            return {fallback.icon, fallback.tone,
                    "Noch nicht aktiv: " + label + " braucht eine X11-Sitzung mit XInput 2; dann gilt das "
                    "Ersatz-Tastenkürzel " + hotkeyLabel(kFallbackHotkey),
                    kSingleKeyNote};
        return {"clock.fill", Tone::secondary,
                "Noch nicht aktiv: " + label + " (" + mode + ") gilt, sobald die Sprachmodelle geladen sind", nullptr};
    }
    switch (*registration) {
        case HotkeyRegistration::combination:
        case HotkeyRegistration::singleKeyTap:
            return {"checkmark.circle.fill", Tone::green, "Aktiv: " + label + " – " + mode, nullptr};
        case HotkeyRegistration::fallback: return fallback;
        case HotkeyRegistration::portal:
            return {"checkmark.circle.fill", Tone::green,
                    "Aktiv über die Arbeitsoberfläche: " +
                        (desktopTrigger.empty() ? label : std::string(desktopTrigger)) + " – " + mode,
                    nullptr};
        case HotkeyRegistration::portalPending:
            return {"clock.fill", Tone::secondary,
                    "Die Arbeitsoberfläche wird nach " + label + " gefragt – bestätige es in ihrem Dialog", nullptr};
        case HotkeyRegistration::desktopShortcut:
            if (isSingleKeyHotkey(hotkey))
                return {"info.circle.fill", Tone::blue,
                        "Eine einzelne Taste (" + label +
                            ") geht unter Wayland nur in einer X11-Sitzung oder als Tastenkürzel der "
                            "Arbeitsoberfläche. Nimm stattdessen eine Tastenkombination wie " +
                            hotkeyLabel(DefaultHotkey::display) + ".",
                        nullptr};
            return {"info.circle.fill", Tone::blue,
                    "Unter Wayland vergibt die Arbeitsoberfläche das Tastenkürzel: lege " + label +
                        " dort an, wie unten beschrieben",
                    nullptr};
        case HotkeyRegistration::none: break;
    }
    return {"xmark.circle.fill", Tone::orange,
            "Nicht aktiv: " + label +
                " konnte nicht registriert werden – ein anderes Programm belegt es. Wähle ein anderes Tastenkürzel "
                "oder starte Aufnahmen über das Menü.",
            nullptr};
}

HotkeysSettings::Desktop HotkeysSettings::desktopFromEnvironment() {
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string_view desktop = current ? current : "";
    if (desktop.find("GNOME") != std::string_view::npos) return Desktop::gnome;
    if (desktop.find("sway") != std::string_view::npos || std::getenv("SWAYSOCK")) return Desktop::sway;
    return Desktop::other;
}

std::vector<std::string> HotkeysSettings::desktopShortcutLines(Desktop desktop, std::string_view hotkey,
                                                               std::string_view recordingMode) {
    // A lone modifier is no shortcut a desktop takes (nor a text that names no keys): the default
    // combination in its place.
    HotkeyTriple keys = ShortcutTrigger::fromDisplay(hotkey).value_or(DefaultHotkey::values);
    if (keys.isSingleKey) keys = DefaultHotkey::values;
    const bool hold = recordingMode == "hold";
    std::vector<std::string> lines;
    switch (desktop) {
        case Desktop::sway: {
            const std::string sway = ShortcutTrigger::sway(keys);
            lines.push_back("In der sway-Konfiguration (~/.config/sway/config), danach swaymsg reload:");
            if (hold) {
                lines.push_back("bindsym --no-repeat " + sway + " exec parloquin --start");
                lines.push_back("bindsym --release " + sway + " exec parloquin --stop");
            } else {
                lines.push_back("bindsym --no-repeat " + sway + " exec parloquin --toggle");
            }
            break;
        }
        case Desktop::gnome:
            lines.push_back("Einstellungen → Tastatur → Tastenkürzel anzeigen und anpassen → Eigene Tastenkürzel → "
                            "Tastenkürzel hinzufügen:");
            lines.push_back("Name: Parloquin · Befehl: parloquin --toggle · Tastenkürzel: " +
                            hotkeyLabel(HotkeyModifier::glyphs(keys.modifiers) +
                                        std::string(keyName(keys.keyCode).value_or(""))));
            lines.push_back("GNOME kennt kein Loslassen: Halten-zum-Aufnehmen geht so nicht, der Umschaltmodus schon.");
            break;
        case Desktop::other:
            lines.push_back("Lege in den Tastatur-Einstellungen der Arbeitsoberfläche ein Tastenkürzel an, das diesen "
                            "Befehl ausführt:");
            lines.push_back(hold ? "parloquin --start (beim Drücken) und parloquin --stop (beim Loslassen)"
                                 : "parloquin --toggle");
            break;
    }
    return lines;
}

const char* HotkeysSettings::recordingModeIcon(std::string_view recordingMode) {
    if (recordingMode == "toggle") return "arrow.triangle.2.circlepath";
    if (recordingMode == "hold") return "hand.tap.fill";
    return "wand.and.stars";
}

std::string HotkeysSettings::recordingModeHelpText(std::string_view recordingMode, std::string_view hotkey) {
    const std::string h = hotkeyLabel(hotkey);
    if (recordingMode == "toggle") return "Drücke " + h + " zum Starten, nochmal zum Stoppen";
    if (recordingMode == "hold") return "Halte " + h + " zum Aufnehmen, loslassen zum Transkribieren";
    if (isSingleKeyHotkey(hotkey)) return "Automatisch: " + h + " halten zum Aufnehmen (so bei Einzeltasten)";
    return "Automatisch: " + h + " drücken zum Starten und Stoppen (so bei Tastenkombinationen)";
}

HotkeysSettings::PasteStatus HotkeysSettings::pasteStatus(bool pasteInPlace, bool accessibilityGranted,
                                                          bool inputMonitoringGranted, bool storedSingleKey) {
    if (!pasteInPlace) return PasteStatus::clipboardOnly;
    if (!accessibilityGranted || (storedSingleKey && !inputMonitoringGranted)) return PasteStatus::permissionsMissing;
    return PasteStatus::ready;
}

HotkeysSettings::PermissionHelp HotkeysSettings::permissionHelp(bool accessibilityGranted, bool inputMonitoringGranted,
                                                                bool storedSingleKey, std::string_view hotkey) {
    PermissionHelp help;
    if (!accessibilityGranted)
        help.warnings.push_back("Auto-Einfügen braucht X11 mit XTEST oder KDE Plasma, GNOME oder sway unter Wayland");
    const bool needsInputMonitoring = storedSingleKey && !inputMonitoringGranted;
    if (needsInputMonitoring) {
        // Names the modifier that is chosen; ⌥ when the display text is no single key.
        const std::string key = hotkeyLabel(isSingleKeyHotkey(hotkey) ? hotkey : std::string_view("⌥"));
        help.warnings.push_back("X11-Sitzung mit XInput 2 für Einzeltasten-Tastenkürzel (" + key +
                                ") erforderlich");
    }
    if (!accessibilityGranted) help.notes.push_back(kAccessibilityNote);
    if (needsInputMonitoring) help.notes.push_back(kInputMonitoringNote);
    return help;
}

bool HotkeysSettings::resetToDefaults(platform::UserDefaults& defaults) {
    return SettingField::writeDefaults(defaults, fields());
}

}  // namespace parloquin
