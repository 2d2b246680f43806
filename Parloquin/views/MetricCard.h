#pragma once

#include <optional>
#include <string>

namespace parloquin {

// One figure of the statistics page: its title, value, symbol and tint, and a line below it
// when it needs one.
struct MetricCard {
    enum class Tint { blue, green, purple, orange, cyan, indigo, gray };

    std::string title;
    std::string value;
    std::string icon;
    Tint color = Tint::blue;
    std::optional<std::string> subtitle;

    bool operator==(const MetricCard&) const = default;
};

}  // namespace parloquin
