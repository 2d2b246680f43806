#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// A buffer of bytes, as stored in the user defaults or written to a file.
using Data = std::vector<std::uint8_t>;

}  // namespace platform
