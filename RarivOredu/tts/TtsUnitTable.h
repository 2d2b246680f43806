#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/text/NSRegularExpression.h"

namespace rarivoredu::TtsTextPreprocessor {

// Unit abbreviations of one kind and their spoken names, with the two patterns that find them:
// after digits ("5kg", "5 kg"; case-sensitive) and after number words ("twenty five km";
// case-insensitive).
class UnitTable {
public:
    struct Unit {
        std::string abbreviation;
        std::string singular;
        std::string plural;
    };

    explicit UnitTable(std::vector<Unit> units);

    const std::vector<Unit>& units() const noexcept { return units_; }
    // The unit of an abbreviation as found by the digit pattern (exact) or the word pattern
    // (any letter case); nullptr when the table has none.
    const Unit* unit(std::string_view abbreviation, bool ignoringCase) const;

    // Group 1 the number, group 2 the abbreviation.
    const platform::NSRegularExpression& digitForm() const noexcept { return digitForm_; }
    const platform::NSRegularExpression& wordForm() const noexcept { return wordForm_; }

private:
    std::vector<Unit> units_;
    platform::NSRegularExpression digitForm_;
    platform::NSRegularExpression wordForm_;
};

const UnitTable& weightUnits();
const UnitTable& volumeUnits();
const UnitTable& lengthUnits();
const UnitTable& temperatureUnits();
const UnitTable& timeUnits();
// The five tables above as one. Abbreviations of different kinds never meet at a word boundary
// ("5 fl oz" is found whole, never as "oz"), and no spoken name holds an abbreviation, so one
// pass over this table reads a text as one pass per kind, in the order above, would.
const UnitTable& unitsOfEveryKind();

// The number words the word pattern accepts before a unit: "zero" … "trillion", "point".
const std::vector<std::string>& numberWords();

}  // namespace rarivoredu::TtsTextPreprocessor
