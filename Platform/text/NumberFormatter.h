#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Writes whole numbers out in words in one fixed locale, whatever locale the user runs:
// "forty-two", "one thousand two hundred thirty-four", "minus seven"; in the ordinal style
// "first", "twenty-first". One instance may serve several threads.
class NumberFormatter {
public:
    enum class Style { spellOut, spellOutOrdinal };

    NumberFormatter(std::string_view localeIdentifier, Style style);
    ~NumberFormatter();
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    // The words for the value; nothing when the locale has no spell-out rules or the value lies
    // beyond the largest number they have words for (English: below 10^18 in magnitude).
    std::optional<std::string> string(std::int64_t value) const;

private:
    struct Rules;
    std::unique_ptr<Rules> rules_;
    mutable std::mutex lock_;
};

}  // namespace platform
