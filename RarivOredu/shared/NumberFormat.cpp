#include "RarivOredu/shared/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace rarivoredu {

namespace {

template <class Number>
std::string shortestDescription(Number value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string description(text, result.ptr);
    if (description.find_first_of(".e") == std::string::npos) description += ".0";
    return description;
}

}  // namespace

std::string formatShortest(double value) { return shortestDescription(value); }

std::string formatShortestFloat(float value) { return shortestDescription(value); }

std::string formatFixed(double value, int decimals) {
    char text[512];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) return {};
    return std::string(text, result.ptr);
}

}  // namespace rarivoredu
