#include "Parloquin/views/HotkeysSettings.h"

#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {

using Value = HotkeysSettings::Value;

namespace {

// Neither grant has a settings pane on this desktop: the page says what each takes instead.
constexpr const char* kAccessibilityNote =
    "Unter Linux gibt es dafür keine Einstellung: Einfügen an der Cursorposition braucht eine X11-Sitzung, deren "
    "X-Server die XTEST-Erweiterung bietet (Wayland erlaubt es nicht).";
constexpr const char* kInputMonitoringNote =
    "Unter Linux gibt es dafür keine Einstellung: Einzeltasten-Tastenkürzel brauchen eine X11-Sitzung, deren "
    "X-Server XInput 2 bietet (Wayland erlaubt es nicht).";
constexpr const char* kSingleKeyNote = "Keine Einstellung unter Linux: braucht eine X11-Sitzung mit XTEST und XInput 2";

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
    static const std::vector<Option> options = {{"Escape", "Escape"}, {"⌘.", "⌘."}, {"Keine", "none"}};
    return options;
}

const std::vector<HotkeysSettings::Preset>& HotkeysSettings::singleKeyPresets() {
    static const std::vector<Preset> presets = {
        {"⌥", "Optionstaste (Halten zum Aufnehmen)"},
        {"⌘", "Befehlstaste (Halten zum Aufnehmen)"},
    };
    return presets;
}

const std::vector<HotkeysSettings::Preset>& HotkeysSettings::combinationPresets() {
    static const std::vector<Preset> presets = {
        {"⌘⇧Space", "Standard (Umschaltmodus)"},
        {"⌥Space", "Option + Leertaste (Umschaltmodus)"},
        {"⌃⌥Space", "Control + Option + Leertaste"},
        {"⇧⌘Space", "Shift + Befehl + Leertaste (Standard)"},
    };
    return presets;
}

const std::vector<HotkeysSettings::Tip>& HotkeysSettings::tips() {
    static const std::vector<Tip> tips = {
        {"hand.tap.fill", "Einzeltasten (⌥, ⌘): Halten zum Aufnehmen, loslassen zum Transkribieren"},
        {"keyboard.fill", "Tastenkombinationen: Einmal drücken zum Starten, nochmal zum Stoppen"},
        {"checkmark.shield.fill", "Intelligenter Filter: Option+Löschen löst keine Aufnahme aus"},
        {"lightbulb.fill",
         "Vermeide Tastenkürzel die vom System verwendet werden (z.B. ⌘Leertaste, mit der GNOME die Tastaturbelegung "
         "wechselt)"},
        {"accessibility", "X11-Sitzung mit XTEST für Direkt-Einfügen-Modus erforderlich"},
    };
    return tips;
}

std::string HotkeysSettings::modeName(std::string_view recordingMode, std::string_view hotkey) {
    if (recordingMode == "toggle") return "Toggle";
    if (recordingMode == "hold") return "Hold-to-record";
    return isSingleKeyHotkey(hotkey) ? "Hold-to-record" : "Toggle";
}

HotkeysSettings::Status HotkeysSettings::currentStatus(std::string_view hotkey, std::string_view recordingMode,
                                                       bool accessibilityGranted, bool inputMonitoringGranted) {
    const std::string active = "Active: " + std::string(hotkey) + " - " + modeName(recordingMode, hotkey) + " mode";
    if (!isSingleKeyHotkey(hotkey) || (accessibilityGranted && inputMonitoringGranted))
        return {"checkmark.circle.fill", Tone::green, active, nullptr};
    return {"exclamationmark.triangle.fill", Tone::orange,
            "Using fallback hotkey (⇧⌘Space) - " + std::string(hotkey) + " needs an X11 session with XInput 2",
            kSingleKeyNote};
}

const char* HotkeysSettings::recordingModeIcon(std::string_view recordingMode) {
    if (recordingMode == "toggle") return "arrow.triangle.2.circlepath";
    if (recordingMode == "hold") return "hand.tap.fill";
    return "wand.and.stars";
}

std::string HotkeysSettings::recordingModeHelpText(std::string_view recordingMode, std::string_view hotkey) {
    const std::string h(hotkey);
    if (recordingMode == "toggle") return "Press " + h + " to start, press again to stop";
    if (recordingMode == "hold") return "Hold " + h + " to record, release to transcribe";
    if (isSingleKeyHotkey(hotkey)) return "Auto: Hold " + h + " to record (single-key default)";
    return "Auto: Press " + h + " to toggle (combo default)";
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
    if (!accessibilityGranted) help.warnings.push_back("X11-Sitzung mit XTEST für Auto-Einfügen erforderlich");
    const bool needsInputMonitoring = storedSingleKey && !inputMonitoringGranted;
    if (needsInputMonitoring) {
        // Names the modifier that is chosen; ⌥ when the display text is no single key.
        const std::string key = isSingleKeyHotkey(hotkey) ? std::string(hotkey) : std::string("⌥");
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
