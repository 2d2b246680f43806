#include "Parloquin/views/GeneralSettings.h"

#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {

using Value = GeneralSettings::Value;

const std::vector<GeneralSettings::Field>& GeneralSettings::fields() {
    static const std::vector<Field> fields = SettingField::fieldsOf(SettingsTable::Page::general);
    return fields;
}

Value GeneralSettings::defaultValue(const std::string& key) { return SettingField::defaultFor(fields(), key); }

const std::vector<GeneralSettings::Entry>& GeneralSettings::entries() {
    using K = EntryKind;
    static const std::vector<Entry> entries = {
        {K::switchRow, "TEXT AUTOMATISCH SENDEN", "Automatisch Enter drücken nach dem Einfügen", settings::kAutoSendText},
        {K::switchRow, "SPRACHBEFEHLE FÜR FORMATIERUNG",
         "Absatz, Umbruch und neue Zeile beim Sprechen automatisch in Zeilenumbrüche umwandeln",
         settings::kSpokenFormattingCommandsEnabled},
        {K::switchRow, "SCHWEBENDEN AUFNAHMEKNOPF ANZEIGEN",
         "Kleinen Start/Stopp-Knopf dauerhaft über anderen Fenstern anzeigen",
         settings::kShowFloatingDictationControl},
        {K::switchRow, "DATENSCHUTZMODUS (KEIN VERLAUF)",
         "Transkripte in Zwischenablage kopieren ohne Verlauf oder Aufnahmen zu speichern",
         settings::kPrivacyModeEnabled, Below::privacyBanner},
        {K::switchRow, "TEXT-FORMATIERUNG",
         "Satzzeichen, E-Mail-Adressen, URLs und Code-Symbole nach der Transkription formatieren",
         settings::kPostProcessingEnabled, Below::postProcessingModePicker},
        {K::switchRow, "ANONYMISIERTE ANALYSEN TEILEN",
         "Hilf Parloquin mit aggregierten Nutzungsdaten zu verbessern. Keine Transkripte oder Audiodaten verlassen "
         "deinen Rechner",
         settings::kShareAnalytics},
        {K::switchRow, "AUTOMATISCHE UPDATES", "Im Hintergrund nach Parloquin-Updates suchen",
         settings::kAutomaticUpdates},
        {K::switchRow, "TASKLEISTEN-SYMBOL ANZEIGEN", "Parloquin in der Taskleiste sichtbar halten",
         settings::kShowDockIcon},
        {K::switchRow, "BEI ANMELDUNG STARTEN", "Parloquin automatisch bei der Anmeldung starten",
         settings::kLaunchAtLogin},
        {K::overlaySection, "AUFNAHME-OVERLAY", "Wähle wie die Aufnahmeanzeige erscheint",
         settings::kRecordingOverlayStyle},
        {K::switchRow, "AUFNAHME-TIMER", "Verstrichene Aufnahmezeit unter dem Overlay anzeigen",
         settings::kShowRecordingTimer},
        {K::resetSection, "ZURÜCKSETZEN", "Alle Einstellungen auf Standardwerte zurücksetzen.", nullptr},
    };
    return entries;
}

const std::vector<GeneralSettings::Option>& GeneralSettings::postProcessingModes() {
    static const std::vector<Option> options = {
        {"Smart Text", "smart_text"}, {"E-Mail / URL", "email_url"}, {"Code", "code"}, {"Raw", "raw"}};
    return options;
}

const std::vector<GeneralSettings::Option>& GeneralSettings::overlayStyles() {
    static const std::vector<Option> options = {{"Standard", "default"}, {"Kompakt", "compact"}, {"Versteckt", "hidden"}};
    return options;
}

Alert GeneralSettings::resetConfirmation() {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Einstellungen zurücksetzen";
    alert.informativeText = "Bist du sicher, dass du alle Einstellungen auf Standardwerte zurücksetzen möchtest?";
    alert.buttons = {"Zurücksetzen", "Abbrechen"};
    alert.destructive = true;
    return alert;
}

Alert GeneralSettings::loginItemFailure(bool enabling, const std::string& reason) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = enabling ? "Start bei der Anmeldung konnte nicht eingerichtet werden"
                                 : "Start bei der Anmeldung konnte nicht abgeschaltet werden";
    alert.informativeText = reason;
    alert.buttons = {"OK"};
    return alert;
}

bool GeneralSettings::resetToDefaults(platform::UserDefaults& defaults) {
    return SettingField::writeDefaults(defaults, fields());
}

}  // namespace parloquin
