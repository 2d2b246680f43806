#pragma once

#include <optional>
#include <string>
#include <vector>

#include "RarivOredu/asr/ASRPerformanceMetrics.h"
#include "RarivOredu/asr/TokenTiming.h"

namespace rarivoredu {

// What the recogniser returns for one recording.
struct ASRResult {
    std::string text;
    float confidence = 0;       // in [0.1, 1.0]; 0.5 when the decoder gave no confidences
    double duration = 0;        // seconds of input audio, before any padding
    double processingTime = 0;  // wall-clock seconds of the recognition
    // One entry per token in time order; readers treat an absent list as empty.
    std::optional<std::vector<TokenTiming>> tokenTimings;
    std::optional<ASRPerformanceMetrics> performanceMetrics;

    // Seconds of audio per second of processing; 0 when the processing time is too short to
    // measure (see realTimeFactor).
    float rtfx() const noexcept;

    bool operator==(const ASRResult&) const = default;
};

}  // namespace rarivoredu
