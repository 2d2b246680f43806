#pragma once

#include <optional>
#include <string>

#include "Platform/system/Date.h"

namespace platform {

// Internet date-time text in UTC without fractional seconds: "2026-12-08T01:52:13Z".
class ISO8601DateFormatter {
public:
    // Nothing for a moment that has no calendar date (not finite, or too far away).
    static std::optional<std::string> string(Date date);
};

}  // namespace platform
