#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "RarivOredu/tts/TtsUnitTable.h"

namespace rarivoredu::TtsTextPreprocessor {

// The numeric passes of the preprocessor: each turns written numbers of one kind into words that
// read naturally, and never fails. Spelled-out numbers are English whatever the user's locale.

// ISO dates ("2024-05-01" → "May first, 2024") and decades ("1990s" → "nineteen nineties";
// "1000s" → "thousands").
std::string normalizeDates(std::string_view text);
// "$5" → "5 dollars", "$3.50" → "3 dollars and 50 cents", "£0.01" → "1 penny",
// "$5 million" → "5 million dollars".
std::string normalizeCurrency(std::string_view text);
// "7:00" → "7 o'clock", "3:05" → "3 oh 5", "12:30" → "12 30"; hours 1 to 12 only.
std::string normalizeClockTimes(std::string_view text);
// "3.14 m" → "three point one four m", "2.5kg" → "two point five kg".
std::string normalizeDecimals(std::string_view text);
// "5 kg" → "5 kilograms", "twenty five km" → "twenty five kilometers", "1 °C" → "1 degree
// Celsius"; "in" after a number is the preposition when a number, a capitalised word or a
// determiner follows, or any word after a year ("1990 in Paris", "5 in the morning").
std::string normalizeUnits(std::string_view text, const UnitTable& table);

// A whole number in English words ("forty-two"), whatever the user's locale; nothing from 10^18
// in magnitude on, which has no words.
std::optional<std::string> spelledOut(std::int64_t value);

// The regular English plural of a name: "inches", "centuries", "days", "halves", "dollars".
std::string pluralize(std::string_view name);

}  // namespace rarivoredu::TtsTextPreprocessor
