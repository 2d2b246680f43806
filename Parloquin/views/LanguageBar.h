#pragma once

#include <cstdint>
#include <string>

namespace parloquin {

// One language of the statistics page's distribution: as shown ("DE"), its share of all
// recordings in percent, and how many recordings it had.
struct LanguageBar {
    std::string language;
    double percentage = 0;
    std::int64_t count = 0;

    bool operator==(const LanguageBar&) const = default;

    // "62.5% (5)".
    std::string shareText() const;
};

}  // namespace parloquin
