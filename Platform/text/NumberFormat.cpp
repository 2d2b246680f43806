#include "Platform/text/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace platform {

std::string formatFixed(double value, int fractionDigits) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[400];  // the largest double has 309 integer digits
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, fractionDigits);
    if (result.ec != std::errc()) return {};
    return std::string(text, result.ptr);
}

std::string formatShortest(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    std::string out(text, result.ptr);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

}  // namespace platform
