#include "RarivOredu/asr/AggregatedMetrics.h"

#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/asr/RealTimeFactor.h"

namespace rarivoredu {

std::string AggregatedMetrics::summary() const {
    return "Aggregated Metrics (" + std::to_string(sampleCount) +
           " samples):\n- Average RTFx: " + formatFixed(finiteRealTimeFactor(averageRTFx), 1) +
           "x real-time\n- Average Processing Time: " + formatFixed(averageProcessingTime, 3) +
           "s\n- Max Memory Usage: " + formatFixed(maxMemoryMB, 1) + " MB";
}

}  // namespace rarivoredu
