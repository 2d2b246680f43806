#include "Platform/system/IntegerText.h"

#include <charconv>

namespace platform {

std::optional<std::int64_t> int64FromText(std::string_view text) noexcept {
    const bool signed_ = !text.empty() && (text.front() == '+' || text.front() == '-');
    const std::string_view digits = signed_ ? text.substr(1) : text;
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    // from_chars takes a minus sign but no plus sign; with the minus the most negative value reads too.
    const std::string_view parsed = text.front() == '-' ? text : digits;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(parsed.data(), parsed.data() + parsed.size(), value);
    if (error != std::errc() || end != parsed.data() + parsed.size()) return std::nullopt;
    return value;
}

}  // namespace platform
