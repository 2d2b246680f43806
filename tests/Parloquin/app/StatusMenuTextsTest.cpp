#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Parloquin/app/StatusMenuTexts.h"
#include "tests/support/MacOSTerms.h"

namespace {

using parloquin::HotkeyRegistration;
using parloquin::StatusMenuTexts;

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(StatusMenuTextsTest, StatusByNumberOfRecords) {
    struct Case {
        std::size_t records;
        std::string status;
    };
    const std::vector<Case> cases = {
        {0, "Bereit"},
        {1, "1 Transkription"},
        {2, "2 Transkriptionen"},
        {5, "5 Transkriptionen"},
        {6, "5 letzte (6 gesamt)"},
        {20, "5 letzte (20 gesamt)"},
    };
    for (const auto& c : cases) EXPECT_EQ(StatusMenuTexts::recordCountStatus(c.records), c.status) << c.records;
    EXPECT_EQ(StatusMenuTexts::statusLine("Bereit"), "Parloquin - Bereit");
    EXPECT_EQ(StatusMenuTexts::dictationItemTitle("⌥"), "Aufnahme starten (Alt)");
}

TEST(StatusMenuTextsTest, RecentTitleShowsThirtyCharactersAndAlwaysDots) {
    struct Case {
        std::string text;
        std::string shown;
    };
    const std::string thirty = repeated("abcdefghij", 3);
    const std::vector<Case> cases = {
        {"", ""},
        {"Kurzer Text", "Kurzer Text"},
        {thirty, thirty},
        {thirty + "X", thirty},
        // characters, not bytes: umlauts, a decomposed "é" and a flag each count once
        {repeated("ä", 31), repeated("ä", 30)},
        {repeated("e\u0301", 31), repeated("e\u0301", 30)},
        {repeated("x", 29) + "🇩🇪🇩🇪", repeated("x", 29) + "🇩🇪"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusMenuTexts::recentTranscriptionTitle("vor 5 Minuten", c.text), "vor 5 Minuten: " + c.shown + "...")
            << c.text;
}

TEST(StatusMenuTextsTest, CopiedBodyKeepsAHundredCharacters) {
    struct Case {
        std::string text;
        std::string body;
    };
    const std::string hundred = repeated("0123456789", 10);
    const std::vector<Case> cases = {
        {"kurz", "kurz"},
        {hundred, hundred},
        {hundred + "1", hundred + "..."},
        {hundred + repeated("z", 50), hundred + "..."},
        {repeated("ü", 101), repeated("ü", 100) + "..."},
    };
    for (const auto& c : cases) EXPECT_EQ(StatusMenuTexts::copiedNotificationBody(c.text), c.body) << c.text;
}

TEST(StatusMenuTextsTest, ReadyNotificationNamesWhatIsReallyRegistered) {
    const std::string models = "\nModelle: Geladen (2,5 GB zwischengespeichert)\n";
    struct Case {
        std::string hotkey;
        HotkeyRegistration registration;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"⇧⌘Space", HotkeyRegistration::combination,
         "Drücke Umschalt+Super+Leertaste überall, um eine Aufnahme zu starten." + models +
             "Tastenkürzel: Umschalt+Super+Leertaste registriert"},
        {"⌃⌥D", HotkeyRegistration::combination,
         "Drücke Strg+Alt+D überall, um eine Aufnahme zu starten." + models + "Tastenkürzel: Strg+Alt+D registriert"},
        // A lone modifier is held, not pressed.
        {"⌥", HotkeyRegistration::singleKeyTap,
         "Halte Alt überall gedrückt, um aufzunehmen." + models + "Tastenkürzel: Alt registriert"},
        {"⌥", HotkeyRegistration::fallback,
         "Drücke Umschalt+Super+Leertaste überall, um eine Aufnahme zu starten." + models +
             "Tastenkürzel: Umschalt+Super+Leertaste registriert (Ersatz für Alt, braucht X11 mit XInput 2)"},
        // A Wayland session: the desktop bound it, is asked, or a desktop shortcut is the way.
        {"⌃⌥Space", HotkeyRegistration::portal,
         "Drücke Strg+Alt+Leertaste überall, um eine Aufnahme zu starten." + models +
             "Tastenkürzel: Strg+Alt+Leertaste von der Arbeitsoberfläche vergeben"},
        {"⌃⌥Space", HotkeyRegistration::portalPending,
         "Die Arbeitsoberfläche fragt nach dem Tastenkürzel Strg+Alt+Leertaste; bis dahin startet das Menü "
         "Aufnahmen." +
             models + "Tastenkürzel: Strg+Alt+Leertaste angefragt"},
        {"⌃⌥Space", HotkeyRegistration::desktopShortcut,
         "Lege in den Tastatur-Einstellungen der Arbeitsoberfläche ein Tastenkürzel an, das »parloquin --toggle« "
         "ausführt (siehe Einstellungen → Tastenkürzel); bis dahin startet das Menü Aufnahmen." +
             models + "Tastenkürzel: unter Wayland über die Arbeitsoberfläche"},
        // Nothing to press: the menu, and why.
        {"⌃⌥D", HotkeyRegistration::none,
         "Starte eine Aufnahme über das Menü." + models +
             "Tastenkürzel: Strg+Alt+D nicht registriert (ein anderes Programm belegt es, oder die Sitzung erlaubt es "
             "nicht)"},
    };
    for (const auto& c : cases) {
        const std::string body = StatusMenuTexts::readyNotificationBody(c.hotkey, c.registration, 2'480'000'000);
        EXPECT_EQ(body, c.body) << c.hotkey;
        EXPECT_EQ(testsupport::macOSTermsIn(body), std::vector<std::string>{}) << c.hotkey;
    }
}

}  // namespace
