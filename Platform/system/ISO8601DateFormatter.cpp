#include "Platform/system/ISO8601DateFormatter.h"

#include <cstdio>

namespace platform {

std::optional<std::string> ISO8601DateFormatter::string(Date date) {
    const auto c = date.utcComponents();
    if (!c) return std::nullopt;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(c->year), c->month,
                  c->day, c->hour, c->minute, c->second);
    return std::string(text);
}

}  // namespace platform
