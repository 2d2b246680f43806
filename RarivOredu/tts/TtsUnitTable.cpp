#include "RarivOredu/tts/TtsUnitTable.h"

#include <algorithm>

#include "Platform/text/StringSearch.h"

namespace rarivoredu::TtsTextPreprocessor {
namespace {

// The abbreviations as alternatives, longest first.
std::string alternatives(const std::vector<UnitTable::Unit>& units) {
    std::vector<std::string> abbreviations;
    for (const auto& unit : units) abbreviations.push_back(unit.abbreviation);
    std::stable_sort(abbreviations.begin(), abbreviations.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string joined;
    for (const auto& abbreviation : abbreviations) {
        if (!joined.empty()) joined += '|';
        joined += platform::NSRegularExpression::escapedPattern(abbreviation);
    }
    return joined;
}

std::string numberWordPattern() {
    std::string joined;
    for (const auto& word : numberWords()) {
        if (!joined.empty()) joined += '|';
        joined += platform::NSRegularExpression::escapedPattern(word);
    }
    return joined;
}

std::string digitFormPattern(const std::vector<UnitTable::Unit>& units) {
    return "\\b(\\d+(?:\\.\\d+)?)\\s*(" + alternatives(units) + ")\\b";
}

std::string wordFormPattern(const std::vector<UnitTable::Unit>& units) {
    const std::string words = numberWordPattern();
    return "\\b((?:" + words + ")(?:\\s+(?:" + words + "))*)\\s+(" + alternatives(units) + ")\\b";
}

}  // namespace

UnitTable::UnitTable(std::vector<Unit> units)
    : units_(std::move(units)),
      digitForm_(digitFormPattern(units_)),
      wordForm_(wordFormPattern(units_), platform::NSRegularExpression::caseInsensitive) {}

const UnitTable::Unit* UnitTable::unit(std::string_view abbreviation, bool ignoringCase) const {
    const std::string wanted = ignoringCase ? platform::lowercased(abbreviation) : std::string(abbreviation);
    for (const auto& unit : units_) {
        if ((ignoringCase ? platform::lowercased(unit.abbreviation) : unit.abbreviation) == wanted) return &unit;
    }
    return nullptr;
}

const std::vector<std::string>& numberWords() {
    static const std::vector<std::string> words = {
        "zero",    "one",      "two",       "three",    "four",     "five",    "six",     "seven",   "eight",
        "nine",    "ten",      "eleven",    "twelve",   "thirteen", "fourteen", "fifteen", "sixteen", "seventeen",
        "eighteen", "nineteen", "twenty",   "thirty",   "forty",    "fifty",   "sixty",   "seventy", "eighty",
        "ninety",  "hundred",  "thousand",  "million",  "billion",  "trillion", "point",
    };
    return words;
}

const UnitTable& weightUnits() {
    static const UnitTable table({
        {"g", "gram", "grams"},
        {"kg", "kilogram", "kilograms"},
        {"mg", "milligram", "milligrams"},
        {"lb", "pound", "pounds"},
        {"lbs", "pound", "pounds"},
        {"oz", "ounce", "ounces"},
        {"t", "ton", "tons"},
        {"ton", "ton", "tons"},
    });
    return table;
}

const UnitTable& volumeUnits() {
    static const UnitTable table({
        {"ml", "milliliter", "milliliters"},
        {"l", "liter", "liters"},
        {"cl", "centiliter", "centiliters"},
        {"dl", "deciliter", "deciliters"},
        {"fl oz", "fluid ounce", "fluid ounces"},
        {"cup", "cup", "cups"},
        {"pt", "pint", "pints"},
        {"qt", "quart", "quarts"},
        {"gal", "gallon", "gallons"},
        {"tsp", "teaspoon", "teaspoons"},
        {"tbsp", "tablespoon", "tablespoons"},
    });
    return table;
}

const UnitTable& lengthUnits() {
    static const UnitTable table({
        {"mm", "millimeter", "millimeters"},
        {"cm", "centimeter", "centimeters"},
        {"m", "meter", "meters"},
        {"km", "kilometer", "kilometers"},
        {"in", "inch", "inches"},
        {"ft", "foot", "feet"},
        {"yd", "yard", "yards"},
        {"mi", "mile", "miles"},
    });
    return table;
}

const UnitTable& temperatureUnits() {
    static const UnitTable table({
        {"°C", "degree Celsius", "degrees Celsius"},
        {"°F", "degree Fahrenheit", "degrees Fahrenheit"},
        {"°K", "degree Kelvin", "degrees Kelvin"},
        {"C", "degree Celsius", "degrees Celsius"},
        {"F", "degree Fahrenheit", "degrees Fahrenheit"},
    });
    return table;
}

const UnitTable& timeUnits() {
    static const UnitTable table({
        {"s", "second", "seconds"},
        {"sec", "second", "seconds"},
        {"min", "minute", "minutes"},
        {"hr", "hour", "hours"},
        {"h", "hour", "hours"},
    });
    return table;
}

const UnitTable& unitsOfEveryKind() {
    static const UnitTable table([] {
        std::vector<UnitTable::Unit> units;
        for (const UnitTable* kind : {&weightUnits(), &volumeUnits(), &lengthUnits(), &temperatureUnits(), &timeUnits()}) {
            units.insert(units.end(), kind->units().begin(), kind->units().end());
        }
        return units;
    }());
    return table;
}

}  // namespace rarivoredu::TtsTextPreprocessor
