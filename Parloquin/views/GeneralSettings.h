#pragma once

#include <string>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/views/SettingField.h"
#include "Parloquin/views/SettingOption.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// What the general page keeps and shows, apart from its widgets: its twelve settings with their
// defaults (from SettingsTable), its entries in order with their texts, the options of its two
// pickers, and the reset to the defaults.
struct GeneralSettings {
    using Value = platform::UserDefaults::Value;

    using Field = SettingField;
    using Option = SettingOption;
    enum class EntryKind { switchRow, overlaySection, resetSection };
    // Shown below a switch row: the privacy banner while the switch is on, or the mode picker.
    enum class Below { nothing, privacyBanner, postProcessingModePicker };
    struct Entry {
        EntryKind kind;
        const char* title;
        const char* description;
        const char* key;  // the switch's or the picker's setting; none for the reset
        Below below = Below::nothing;
    };

    static constexpr const char* title = "ALLGEMEIN";
    static constexpr const char* subtitle = "Standardwerte, Analysen";
    static constexpr const char* privacyBanner = "Verlaufs- und Statistikerfassung sind deaktiviert";
    static constexpr const char* resetButton = "Einstellungen zurücksetzen";
    static constexpr int postProcessingPickerWidth = 420;
    static constexpr int overlayPickerWidth = 300;

    // The twelve settings in the page's order, from SettingsTable.
    static const std::vector<Field>& fields();
    static Value defaultValue(const std::string& key);
    static const std::vector<Entry>& entries();
    static const std::vector<Option>& postProcessingModes();
    static const std::vector<Option>& overlayStyles();

    // The question before the reset; only its first button resets.
    static Alert resetConfirmation();
    // Why the start at login could not be switched on (or off); the reason is the system's.
    static Alert loginItemFailure(bool enabling, const std::string& reason);

    // Writes every setting's default, in order; keys of other pages stay. False when a write
    // failed (the others are written all the same).
    static bool resetToDefaults(platform::UserDefaults& defaults);
};

}  // namespace parloquin
