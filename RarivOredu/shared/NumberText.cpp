#include "RarivOredu/shared/NumberText.h"

#include <charconv>

namespace rarivoredu {

std::string fixedText(double value, int decimals) {
    char text[512];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc{}) return {};
    return std::string(text, result.ptr);
}

}  // namespace rarivoredu
