#include "Parloquin/services/PasteHelper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/Parloquin/services/PasteFakes.h"

namespace parloquin {
namespace {

using platform::CGEventType;

TEST(PasteHelperTest, SpokenFormattingCommandsBecomeLineBreaks) {
    struct Case {
        std::string spoken;
        std::string written;
    };
    const std::vector<Case> cases = {
        {"Hallo neuer Absatz wie geht es", "Hallo\n\nwie geht es"},
        {"Erste Zeile neue Zeile zweite Zeile", "Erste Zeile\nzweite Zeile"},
        {"Absatz", ""},
        {"eins Zeilenumbruch Zeilenumbruch Zeilenumbruch zwei", "eins\n\nzwei"},
        {"Absatzende ist kein Befehl", "Absatzende ist kein Befehl"},
        {"Neue Zeile NEUE ZEILE neue\tzeile", ""},
        {"Ende. Neuen Absatz, weiter", "Ende.\n\n, weiter"},
        {"Liste: nächste Zeile Punkt umbruch Schluss", "Liste:\nPunkt\nSchluss"},
        {"Nächste   Zeile", ""},
        {"Zeilen umbrechen", "Zeilen umbrechen"},
        {"  zwei  \t Wörter  ", "zwei Wörter"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PasteHelper::applySpokenFormattingCommands(c.spoken, true), c.written) << c.spoken;
    }
}

TEST(PasteHelperTest, WithTheSwitchOffTheTextStaysExactlyAsSpoken) {
    for (const char* spoken : {"Hallo neuer Absatz  wie geht es", "  Absatz\n\n\n", "neue Zeile"}) {
        EXPECT_EQ(PasteHelper::applySpokenFormattingCommands(spoken, false), spoken);
    }
}

TEST(PasteHelperTest, CleansWhiteSpaceAroundAndBetweenLines) {
    struct Case {
        std::string text;
        std::string cleaned;
    };
    const std::vector<Case> cases = {
        {"a  \t b", "a b"},
        {"a \t\nb", "a\nb"},
        {"a\n \tb", "a\nb"},
        {"a\n\n\n\nb", "a\n\nb"},
        {"\n\n a \n\n", "a"},
        {"a\r\n\r\nb", "a\r\n\r\nb"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PasteHelper::cleanWhitespace(c.text), c.cleaned) << c.text;
}

TEST(PasteHelperTest, PasteWritesTheClipboardThenPressesControlV) {
    parloquin_test::FakeDesktop desktop;
    PasteHelper::pasteAtCursor("Grüße");
    EXPECT_EQ(desktop.pasteboard->log, (std::vector<std::string>{"clear", "set Grüße"}));
    ASSERT_EQ(desktop.keyboard->events.size(), 2u);
    EXPECT_EQ(desktop.keyboard->events[0].type, CGEventType::keyDown);
    EXPECT_EQ(desktop.keyboard->events[1].type, CGEventType::keyUp);
    for (const platform::CGEvent& event : desktop.keyboard->events) {
        EXPECT_EQ(event.keyCode, PasteHelper::kVirtualKeyV);
        EXPECT_EQ(event.flags, platform::kCGEventFlagMaskControl);
    }

    desktop.keyboard->events.clear();
    PasteHelper::copyToClipboard("nur kopiert");
    EXPECT_EQ(desktop.pasteboard->contents, "nur kopiert");
    EXPECT_TRUE(desktop.keyboard->events.empty());
}

TEST(PasteHelperTest, AccessibilityIsAskedWithAndWithoutThePrompt) {
    parloquin_test::FakeDesktop desktop;
    for (bool granted : {true, false}) {
        desktop.permissions->accessibility = granted;
        EXPECT_EQ(PasteHelper::checkAccessibilityPermission(), granted);
    }
    EXPECT_EQ(desktop.permissions->checks, 2);
    EXPECT_EQ(desktop.permissions->prompts, 0);
    PasteHelper::requestAccessibilityPermission();
    EXPECT_EQ(desktop.permissions->prompts, 1);
}

}  // namespace
}  // namespace parloquin
