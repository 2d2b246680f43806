#pragma once

#include <string>

namespace rarivoredu {

// The average over the records a performance monitor keeps.
struct AggregatedMetrics {
    float averageRTFx = 0;
    double averageProcessingTime = 0;  // seconds
    float maxMemoryMB = 0;
    int sampleCount = 0;

    std::string summary() const;

    bool operator==(const AggregatedMetrics&) const = default;
};

}  // namespace rarivoredu
