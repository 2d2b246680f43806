#pragma once

#include <string>

namespace rarivoredu {

// A number with a fixed count of decimals, as "%.Nf" prints it in the C locale, whatever the
// process's locale says.
std::string fixedText(double value, int decimals);

}  // namespace rarivoredu
