#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

// The whole number a text writes: an optional "+" or "-", then ASCII decimal digits only, the
// value within 64 signed bits ("-0012" is -12). Nothing for anything else: white space, a
// fraction, digits of other scripts, an empty text or a bare sign, a value out of range.
std::optional<std::int64_t> int64FromText(std::string_view text) noexcept;

}  // namespace platform
