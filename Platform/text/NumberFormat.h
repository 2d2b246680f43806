#pragma once

#include <string>

namespace platform {

// Numbers as files and reports show them, always in the C locale (a point for the decimal
// separator, no grouping), whatever locale the user runs.

// Fixed notation with the given number of fractional digits, rounded like printf's "%.Nf".
std::string formatFixed(double value, int fractionDigits);
// The shortest text that reads back as the same double, always with a fractional part or an
// exponent: 3.0, 12.345, 1e+16; "nan", "inf", "-inf" for values that are not finite.
std::string formatShortest(double value);

}  // namespace platform
