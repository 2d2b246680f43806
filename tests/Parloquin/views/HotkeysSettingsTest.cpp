// The texts of the hotkeys page for each recording mode, hotkey and grant. The whole table is kept
// in tests/fixtures/hotkeys/page-texts.tsv for a person to read.
#include "Parloquin/views/HotkeysSettings.h"

#include <gtest/gtest.h>

#include "tests/Parloquin/services/StoreFixtures.h"
#include "tests/support/GoldenFile.h"
#include "tests/support/MacOSTerms.h"

namespace parloquin {
namespace {

using Settings = HotkeysSettings;
using Value = platform::UserDefaults::Value;

const char* toneName(Settings::Tone tone) {
    switch (tone) {
        case Settings::Tone::green: return "green";
        case Settings::Tone::orange: return "orange";
        case Settings::Tone::blue: return "blue";
        case Settings::Tone::secondary: return "secondary";
    }
    return "?";
}

const char* grants(bool accessibility, bool inputMonitoring) {
    if (accessibility && inputMonitoring) return "both";
    if (accessibility) return "XTEST only";
    if (inputMonitoring) return "XInput 2 only";
    return "neither";
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : " | ") + line;
    return text;
}

TEST(HotkeysSettings, PageTextsForEveryModeHotkeyAndGrant) {
    const char* const hotkeys[] = {"⌥", "⌘", "⇧⌘Space", "⌃⇧K"};
    std::string table = "# recording mode\nmode\thotkey\tmode name\tsymbol\thelp line\n";
    for (const char* mode : {"auto", "toggle", "hold", "x"})
        for (const char* hotkey : {"⌥", "⇧⌘Space"})
            table += std::string(mode) + "\t" + hotkey + "\t" + Settings::modeName(mode, hotkey) + "\t" +
                     Settings::recordingModeIcon(mode) + "\t" + Settings::recordingModeHelpText(mode, hotkey) + "\n";

    auto statusLine = [&](const char* hotkey, const char* registered, const Settings::Status& status,
                          const char* granted) {
        table += std::string(hotkey) + "\t" + registered + "\t" + granted + "\t" + status.icon + "\t" +
                 toneName(status.tone) + "\t" + status.text + "\t" +
                 (status.permissionNote ? status.permissionNote : "") + "\n";
    };
    table += "\n# status card (mode auto) before the hotkey manager is made\n"
             "hotkey\tregistration\tgrants\tsymbol\tcolour\tstatus\tin place of a button\n";
    for (const char* hotkey : hotkeys)
        for (bool accessibility : {true, false})
            for (bool inputMonitoring : {true, false})
                statusLine(hotkey, "(no manager yet)",
                           Settings::currentStatus(hotkey, "auto", std::nullopt, accessibility, inputMonitoring),
                           grants(accessibility, inputMonitoring));
    table += "\n# status card (mode auto) as the hotkey manager registered it\n"
             "hotkey\tregistration\tgrants\tsymbol\tcolour\tstatus\tin place of a button\n";
    const std::pair<HotkeyRegistration, const char*> registrations[] = {
        {HotkeyRegistration::combination, "combination"},
        {HotkeyRegistration::singleKeyTap, "single key tap"},
        {HotkeyRegistration::fallback, "fallback"},
        {HotkeyRegistration::none, "none"},
    };
    for (const char* hotkey : hotkeys)
        for (const auto& [registration, name] : registrations)
            statusLine(hotkey, name, Settings::currentStatus(hotkey, "auto", registration, true, true), "both");

    table += "\n# paste in place\nswitch\tstored single key\thotkey\tgrants\tshown\n";
    for (bool paste : {false, true})
        for (bool single : {false, true})
            for (bool accessibility : {true, false})
                for (bool inputMonitoring : {true, false}) {
                    const char* hotkey = single ? "⌘" : "⇧⌘Space";
                    std::string shown;
                    switch (Settings::pasteStatus(paste, accessibility, inputMonitoring, single)) {
                        case Settings::PasteStatus::clipboardOnly: shown = Settings::clipboardOnly; break;
                        case Settings::PasteStatus::ready: shown = Settings::ready; break;
                        case Settings::PasteStatus::permissionsMissing: {
                            const auto help = Settings::permissionHelp(accessibility, inputMonitoring, single, hotkey);
                            shown = join(help.warnings) + " || " + join(help.notes);
                            break;
                        }
                    }
                    table += std::string(paste ? "on" : "off") + "\t" + (single ? "true" : "false") + "\t" + hotkey +
                             "\t" + grants(accessibility, inputMonitoring) + "\t" + shown + "\n";
                }
    table += "\n# tips\nsymbol\ttext\n";
    for (const auto& tip : Settings::tips()) table += std::string(tip.icon) + "\t" + tip.text + "\n";
    testsupport::expectGolden("hotkeys", "page-texts.tsv", table);
    // Every line says what is true on Linux: no macOS permission, pane or feature is named.
    EXPECT_EQ(testsupport::macOSTermsIn(table.substr(table.find("\tsymbol\tcolour"))), std::vector<std::string>{});
}

TEST(HotkeysSettings, StatusCardSaysWhatIsTrue) {
    // A single key in auto mode on the tap holds to record.
    EXPECT_EQ(Settings::currentStatus("⌥", "auto", HotkeyRegistration::singleKeyTap, true, true).text,
              "Aktiv: Alt – Halten-zum-Aufnehmen");
    // A key combination is the desktop's grab: it works without Accessibility, which only paste needs.
    const auto combination = Settings::currentStatus("⇧⌘Space", "auto", HotkeyRegistration::combination, false, false);
    EXPECT_EQ(combination.tone, Settings::Tone::green);
    EXPECT_EQ(combination.text, "Aktiv: Umschalt+Super+Leertaste – Umschaltmodus");
    EXPECT_EQ(combination.permissionNote, nullptr);
    const auto waiting = Settings::currentStatus("⌘", "hold", HotkeyRegistration::fallback, true, false);
    EXPECT_EQ(waiting.text,
              "Ersatz-Tastenkürzel aktiv (Umschalt+Super+Leertaste) – Super braucht eine X11-Sitzung mit XInput 2");
    EXPECT_NE(waiting.permissionNote, nullptr);
    // Refused by the desktop (another program holds it): never green, whatever the grants.
    const auto refused = Settings::currentStatus("⌃⌥Space", "auto", HotkeyRegistration::none, true, true);
    EXPECT_EQ(refused.tone, Settings::Tone::orange);
    EXPECT_EQ(refused.text.rfind("Nicht aktiv: Strg+Alt+Leertaste konnte nicht registriert werden", 0), 0u);
}

TEST(HotkeysSettings, PasteSectionFollowsTheStoredFlagNotTheText) {
    // Out of step: the flag says single key, the text a combination. The flag decides.
    EXPECT_EQ(Settings::pasteStatus(true, true, false, true), Settings::PasteStatus::permissionsMissing);
    const auto help = Settings::permissionHelp(true, false, true, "⇧⌘Space");
    EXPECT_EQ(help.warnings,
              std::vector<std::string>{"X11-Sitzung mit XInput 2 für Einzeltasten-Tastenkürzel (Alt) erforderlich"});
    // A combination with Accessibility is ready without Input Monitoring.
    EXPECT_EQ(Settings::pasteStatus(true, true, false, false), Settings::PasteStatus::ready);
}

TEST(HotkeysSettings, ResetWritesTheFiveDefaultsAndNothingElse) {
    storetest::Store store;
    auto& defaults = store.defaults();
    defaults.setString("primaryHotkey", "⌥");
    defaults.setString("recordingMode", "hold");
    defaults.setBool("pasteInPlaceMode", false);
    defaults.setString("cancelHotkey", "none");
    defaults.setBool("hotkeyFeedback", false);
    defaults.setBool("autoSendText", true);
    EXPECT_TRUE(Settings::resetToDefaults(defaults));
    EXPECT_EQ(defaults.stringForKey("primaryHotkey"), "⌃⌥Space");
    EXPECT_EQ(defaults.stringForKey("recordingMode"), "auto");
    EXPECT_TRUE(defaults.boolForKey("pasteInPlaceMode"));
    EXPECT_EQ(defaults.stringForKey("cancelHotkey"), "Escape");
    EXPECT_TRUE(defaults.boolForKey("hotkeyFeedback"));
    EXPECT_TRUE(defaults.boolForKey("autoSendText")) << "another page's key stays";
}


// Where no portal binds the hotkey, the page says what to bind on this desktop, for the keys and
// the mode: sway gets bindsym lines (a release line for hold to talk), GNOME the way to a custom
// shortcut; a lone modifier, which no desktop binds, gives way to the default combination.
TEST(HotkeysSettings, DesktopShortcutLinesForEachDesktopAndMode) {
    using D = Settings::Desktop;
    struct Case {
        D desktop;
        const char* hotkey;
        const char* mode;
        std::vector<std::string> lines;
    };
    const std::string sway = "In der sway-Konfiguration (~/.config/sway/config), danach swaymsg reload:";
    const std::string gnome =
        "Einstellungen → Tastatur → Tastenkürzel anzeigen und anpassen → Eigene Tastenkürzel → Tastenkürzel "
        "hinzufügen:";
    const Case cases[] = {
        {D::sway, "⌃⌥Space", "toggle", {sway, "bindsym --no-repeat Ctrl+Alt+space exec parloquin --toggle"}},
        {D::sway, "⌃⌥Space", "auto", {sway, "bindsym --no-repeat Ctrl+Alt+space exec parloquin --toggle"}},
        {D::sway,
         "⇧⌘Space",
         "hold",
         {sway, "bindsym --no-repeat Shift+Mod4+space exec parloquin --start",
          "bindsym --release Shift+Mod4+space exec parloquin --stop"}},
        {D::sway,
         "⌥",
         "hold",
         {sway, "bindsym --no-repeat Ctrl+Alt+space exec parloquin --start",
          "bindsym --release Ctrl+Alt+space exec parloquin --stop"}},
        {D::gnome,
         "⌃⇧K",
         "toggle",
         {gnome, "Name: Parloquin · Befehl: parloquin --toggle · Tastenkürzel: Strg+Umschalt+K",
          "GNOME kennt kein Loslassen: Halten-zum-Aufnehmen geht so nicht, der Umschaltmodus schon."}},
        {D::other,
         "⌃⌥Space",
         "hold",
         {"Lege in den Tastatur-Einstellungen der Arbeitsoberfläche ein Tastenkürzel an, das diesen Befehl ausführt:",
          "parloquin --start (beim Drücken) und parloquin --stop (beim Loslassen)"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Settings::desktopShortcutLines(c.desktop, c.hotkey, c.mode), c.lines) << c.hotkey << " " << c.mode;

    // The card: the portal's own words for the keys, the dialog it waits for, a lone modifier's limit.
    EXPECT_EQ(Settings::currentStatus("⌃⌥Space", "auto", HotkeyRegistration::portal, true, true, "Ctrl+Alt+Space").text,
              "Aktiv über die Arbeitsoberfläche: Ctrl+Alt+Space – Umschaltmodus");
    EXPECT_EQ(Settings::currentStatus("⌃⌥Space", "auto", HotkeyRegistration::portal, true, true).text,
              "Aktiv über die Arbeitsoberfläche: Strg+Alt+Leertaste – Umschaltmodus");
    EXPECT_EQ(Settings::currentStatus("⌃⌥Space", "auto", HotkeyRegistration::portalPending, true, true).tone,
              Settings::Tone::secondary);
    EXPECT_EQ(Settings::currentStatus("⌥", "auto", HotkeyRegistration::desktopShortcut, true, true).text,
              "Eine einzelne Taste (Alt) geht unter Wayland nur in einer X11-Sitzung oder als Tastenkürzel der "
              "Arbeitsoberfläche. Nimm stattdessen eine Tastenkombination wie Strg+Alt+Leertaste.");
}

}  // namespace
}  // namespace parloquin
