#include "RarivOredu/asr/ASRResult.h"

#include "RarivOredu/asr/RealTimeFactor.h"

namespace rarivoredu {

float ASRResult::rtfx() const noexcept { return realTimeFactor(duration, processingTime); }

}  // namespace rarivoredu
