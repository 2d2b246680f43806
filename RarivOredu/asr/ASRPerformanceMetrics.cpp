#include "RarivOredu/asr/ASRPerformanceMetrics.h"

#include "RarivOredu/shared/NumberText.h"
#include "RarivOredu/asr/RealTimeFactor.h"

namespace rarivoredu {

std::string ASRPerformanceMetrics::summary() const {
    std::string text = "Performance Metrics:\n- Preprocessor: " + fixedText(preprocessorTime, 3) +
                       "s\n- Encoder: " + fixedText(encoderTime, 3) + "s\n- Decoder: " + fixedText(decoderTime, 3) +
                       "s\n- Total: " + fixedText(totalProcessingTime, 3) +
                       "s\n- RTFx: " + fixedText(finiteRealTimeFactor(rtfx), 1) +
                       "x real-time\n- Peak Memory: " + fixedText(peakMemoryMB, 1) + " MB\n- GPU Utilization: ";
    text += gpuUtilization ? fixedText(*gpuUtilization, 1) + "%" : std::string("N/A");
    return text;
}

}  // namespace rarivoredu
