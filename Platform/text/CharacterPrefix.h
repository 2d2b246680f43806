#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// The first `count` characters (extended grapheme clusters) of UTF-8 text, or all of it when it is
// shorter; never ends inside a character. Ill-formed bytes count as one character each.
std::string_view characterPrefix(std::string_view text, std::int64_t count);

}  // namespace platform
