#pragma once

#include <string>
#include <string_view>

namespace parloquin {

// Owns what dictated text goes through before it is delivered: the spoken formatting commands, the
// German phrases a user says for a break ("neuer Absatz", "Absatz" for a paragraph; "neue Zeile",
// "Zeilenumbruch" … for a line), which become line breaks, and the white-space clean-up after
// them. Both tables of patterns are compiled once, on first use. Static only; no state besides
// those tables.
class SpokenFormatting {
public:
    SpokenFormatting() = delete;

    // Paragraph commands become two line breaks, line commands one, matched as whole words in any
    // letter case; then cleanWhitespace. With the switch off the text is returned as it is.
    static std::string applySpokenFormattingCommands(std::string_view text, bool enabled);
    // No spaces or tabs around line breaks, at most two line breaks in a row, single spaces, and
    // no white space at either end.
    static std::string cleanWhitespace(std::string_view text);
};

}  // namespace parloquin
