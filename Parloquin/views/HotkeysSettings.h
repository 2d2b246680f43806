#pragma once

#include <string>
#include <optional>
#include <string_view>
#include <vector>

#include "Parloquin/hotkeys/DefaultHotkey.h"
#include "Parloquin/hotkeys/HotkeyRegistration.h"
#include "Parloquin/views/SettingField.h"
#include "Parloquin/views/SettingOption.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// What the hotkeys page keeps and shows, apart from its widgets: its five settings with their
// defaults (from SettingsTable), the options of its two pickers, the presets and tips, and every text it derives from
// the settings and the two grants (Accessibility: synthetic keys; Input Monitoring: the session's
// key events).
struct HotkeysSettings {
    using Value = platform::UserDefaults::Value;

    using Field = SettingField;
    using Option = SettingOption;
    struct Preset {
        const char* title;  // the display text it applies, as stored; shown with hotkeyLabel
        const char* description;
    };
    struct Tip {
        const char* icon;
        const char* text;
    };
    enum class Tone { green, orange, blue, secondary };

    // The status card under the hotkey.
    struct Status {
        const char* icon;
        Tone tone;
        std::string text;
        // A single-key hotkey waits for a grant: the card says what it takes, as there is no
        // settings pane to open.
        const char* permissionNote;
    };

    // What the paste-in-place section shows under its switch.
    enum class PasteStatus { clipboardOnly, permissionsMissing, ready };
    struct PermissionHelp {
        std::vector<std::string> warnings;  // orange lines
        std::vector<std::string> notes;     // what each missing grant takes on this desktop
    };

    static constexpr const char* title = "TASTENKÜRZEL";
    static constexpr const char* subtitle = "Aufnahme-Tastenkürzel und Aufnahmeverhalten";

    static constexpr const char* primaryTitle = "HAUPT-TASTENKÜRZEL";
    static constexpr const char* primaryCaption = "Wähle dein bevorzugtes Tastenkürzel für die Aufnahme";
    static constexpr const char* recordingHint = "Drücke deine gewünschte Tastenkombination...";
    static constexpr const char* recordingLabel = "Aufnahme...";
    static constexpr const char* cancelAction = "Abbrechen";
    static constexpr const char* changeAction = "Ändern";
    static constexpr const char* statusLabel = "AKTUELLER STATUS";

    static constexpr const char* modeTitle = "AUFNAHMEMODUS";
    static constexpr const char* modeCaption = "Wähle wie Aufnahme gestartet und gestoppt wird";

    static constexpr const char* presetsTitle = "SCHNELLAKTIONEN";
    static constexpr const char* presetsCaption = "Voreingestellte Tastenkombinationen für schnellen Zugriff";
    static constexpr const char* singleKeyGroup = "Einzeltasten (Halten zum Aufnehmen)";
    static constexpr const char* combinationGroup = "Tastenkombinationen (Umschaltmodus)";

    static constexpr const char* pasteTitle = "DIREKT-EINFÜGEN-MODUS";
    static constexpr const char* pasteDescription = "Transkription automatisch an Cursorposition einfügen wenn fertig";
    static constexpr const char* clipboardOnly = "Transkriptionen werden nur in Zwischenablage kopiert";
    static constexpr const char* ready = "Bereit - Volle Funktionalität aktiviert";

    static constexpr const char* cancelTitle = "AUFNAHME ABBRECHEN";
    static constexpr const char* cancelCaption =
        "Drücke diese Taste während der Aufnahme zum Abbrechen ohne zu transkribieren";

    static constexpr const char* feedbackTitle = "TASTENKÜRZEL-FEEDBACK";
    static constexpr const char* feedbackDescription = "Ton abspielen wenn Tastenkürzel ausgelöst wird";

    static constexpr const char* conflictTitle = "Tastenkürzel-Konflikt erkannt";
    static constexpr const char* conflictText =
        "Dieses Tastenkürzel könnte mit Systemkurzbefehlen des Desktops konfligieren. Parloquin versucht es zu "
        "überschreiben, aber es funktioniert möglicherweise nicht in allen Anwendungen.";

    static constexpr const char* tipsTitle = "TIPPS";

    static constexpr const char* resetTitle = "ZURÜCKSETZEN";
    static constexpr const char* resetCaption = "Standard-Tastenkürzelkonfiguration wiederherstellen";
    static constexpr const char* resetButton = "Auf Standard zurücksetzen";

    static constexpr const char* defaultHotkey = DefaultHotkey::display;
    static constexpr int pickerWidth = 300;

    // The five settings in the page's order, from SettingsTable.
    static const std::vector<Field>& fields();
    static Value defaultValue(const std::string& key);
    static const std::vector<Option>& recordingModes();
    static const std::vector<Option>& cancelKeys();
    static const std::vector<Preset>& singleKeyPresets();
    static const std::vector<Preset>& combinationPresets();
    static const std::vector<Tip>& tips();

    // "Umschaltmodus" or "Halten-zum-Aufnehmen": an unknown mode holds to record for a single key.
    static std::string modeName(std::string_view recordingMode, std::string_view hotkey);
    // What the hotkey manager really registered; none (no manager yet, while the models load)
    // foresees it: a key combination is a grab of the desktop's and needs no grant, a single key
    // needs both.
    static Status currentStatus(std::string_view hotkey, std::string_view recordingMode,
                                std::optional<HotkeyRegistration> registration, bool accessibilityGranted,
                                bool inputMonitoringGranted, std::string_view desktopTrigger = {});

    // The desktops that name the keys for a shortcut of their own.
    enum class Desktop { gnome, sway, other };
    static Desktop desktopFromEnvironment();
    // Where no portal binds the hotkey (a Wayland session): what to bind, for the stored keys and
    // the recording mode (hold: a start on the press, a stop on the release), line by line.
    static std::vector<std::string> desktopShortcutLines(Desktop desktop, std::string_view hotkey,
                                                          std::string_view recordingMode);
    static const char* recordingModeIcon(std::string_view recordingMode);
    static std::string recordingModeHelpText(std::string_view recordingMode, std::string_view hotkey);
    // storedSingleKey is "primaryHotkeyIsSingleKey" as stored, whatever the display text says.
    static PasteStatus pasteStatus(bool pasteInPlace, bool accessibilityGranted, bool inputMonitoringGranted,
                                   bool storedSingleKey);
    static PermissionHelp permissionHelp(bool accessibilityGranted, bool inputMonitoringGranted, bool storedSingleKey,
                                         std::string_view hotkey);

    // Writes the five defaults in order; the page then applies the default hotkey. False when a
    // write failed (the others are written all the same).
    static bool resetToDefaults(platform::UserDefaults& defaults);
};

}  // namespace parloquin
