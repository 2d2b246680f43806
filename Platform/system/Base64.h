#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/system/Data.h"

namespace platform {

// Standard base64 (RFC 4648 alphabet, with '=' padding, no line breaks).
std::string base64Encoded(const Data& data);
// Nothing when the text is not canonical padded base64.
std::optional<Data> base64Decoded(std::string_view text);

}  // namespace platform
