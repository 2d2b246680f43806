#pragma once

#include <string>

namespace rarivoredu {

// Numbers as texts that users and files see, in the C locale whatever the process's locale says.

// A double in its shortest round-trip decimal form, with whole numbers keeping one decimal place:
// 16000.0, 0.3333333333333333, 1e+16, nan, inf, -inf.
std::string formatShortest(double value);
// The same for a 32-bit float, shortest for the float itself: 0.85, not 0.8500000238418579.
std::string formatShortestFloat(float value);
// A number with a fixed count of decimals, as "%.Nf" prints it.
std::string formatFixed(double value, int decimals);

}  // namespace rarivoredu
