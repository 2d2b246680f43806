#pragma once

#include <string>

namespace rarivoredu {

// A double in its shortest round-trip decimal form, in the C locale, with whole numbers keeping
// one decimal place: 16000.0, 0.3333333333333333, 1e+16, nan, inf, -inf.
std::string doubleDescription(double value);
// The same for a 32-bit float, shortest for the float itself: 0.85, not 0.8500000238418579.
std::string floatDescription(float value);

}  // namespace rarivoredu
