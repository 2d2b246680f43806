#pragma once

#include <optional>
#include <string>

namespace rarivoredu {

// The measurements of one recognition operation.
struct ASRPerformanceMetrics {
    double preprocessorTime = 0;  // seconds
    double encoderTime = 0;       // seconds
    double decoderTime = 0;       // seconds
    double totalProcessingTime = 0;
    // Seconds of audio per second of processing; 0 when the time was too short to measure.
    float rtfx = 0;
    float peakMemoryMB = 0;  // 1 MB = 1,048,576 bytes
    std::optional<float> gpuUtilization;  // percent; absent when unknown

    // A fixed multi-line text of all fields.
    std::string summary() const;

    bool operator==(const ASRPerformanceMetrics&) const = default;
};

}  // namespace rarivoredu
