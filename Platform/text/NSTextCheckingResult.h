#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace platform {

// A stretch of a UTF-8 text in bytes. A capture group that took no part in a match has the
// location notFound and length 0.
struct NSRange {
    static constexpr std::size_t notFound = static_cast<std::size_t>(-1);

    std::size_t location = notFound;
    std::size_t length = 0;

    bool found() const noexcept { return location != notFound; }
    std::size_t end() const noexcept { return location + length; }
    // The bytes of the text that the range covers; empty when not found.
    std::string_view in(std::string_view text) const noexcept {
        return found() ? text.substr(location, length) : std::string_view{};
    }
};

// One match of a regular expression: the whole match at index 0, then each capture group.
struct NSTextCheckingResult {
    std::vector<NSRange> ranges;

    NSRange range() const noexcept { return ranges.empty() ? NSRange{} : ranges.front(); }
    NSRange range(std::size_t group) const noexcept { return group < ranges.size() ? ranges[group] : NSRange{}; }
    std::size_t numberOfRanges() const noexcept { return ranges.size(); }
};

}  // namespace platform
