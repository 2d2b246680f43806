#pragma once

#include <string>

namespace parloquin {

// One fact of the system information sheet.
struct SystemInfoRow {
    std::string label;
    std::string value;

    bool operator==(const SystemInfoRow&) const = default;
};

}  // namespace parloquin
