#include "Parloquin/services/SpokenFormatting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace parloquin {
namespace {

TEST(SpokenFormattingTest, CommandsBecomeLineBreaks) {
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
        EXPECT_EQ(SpokenFormatting::applySpokenFormattingCommands(c.spoken, true), c.written) << c.spoken;
    }
}

TEST(SpokenFormattingTest, WithTheSwitchOffTheTextStaysExactlyAsSpoken) {
    for (const char* spoken : {"Hallo neuer Absatz  wie geht es", "  Absatz\n\n\n", "neue Zeile"}) {
        EXPECT_EQ(SpokenFormatting::applySpokenFormattingCommands(spoken, false), spoken);
    }
}

TEST(SpokenFormattingTest, CleansWhiteSpaceAroundAndBetweenLines) {
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
    for (const Case& c : cases) EXPECT_EQ(SpokenFormatting::cleanWhitespace(c.text), c.cleaned) << c.text;
}

}  // namespace
}  // namespace parloquin
