#include "RarivOredu/asr/ASRPerformanceMetrics.h"

#include "RarivOredu/shared/NumberFormat.h"
#include "RarivOredu/asr/RealTimeFactor.h"

namespace rarivoredu {

std::string ASRPerformanceMetrics::summary() const {
    std::string text = "Performance Metrics:\n- Preprocessor: " + formatFixed(preprocessorTime, 3) +
                       "s\n- Encoder: " + formatFixed(encoderTime, 3) + "s\n- Decoder: " + formatFixed(decoderTime, 3) +
                       "s\n- Total: " + formatFixed(totalProcessingTime, 3) +
                       "s\n- RTFx: " + formatFixed(finiteRealTimeFactor(rtfx), 1) +
                       "x real-time\n- Peak Memory: " + formatFixed(peakMemoryMB, 1) + " MB\n- GPU Utilization: ";
    text += gpuUtilization ? formatFixed(*gpuUtilization, 1) + "%" : std::string("N/A");
    return text;
}

}  // namespace rarivoredu
