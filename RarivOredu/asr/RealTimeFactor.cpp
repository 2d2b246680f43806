#include "RarivOredu/asr/RealTimeFactor.h"

#include <cmath>

namespace rarivoredu {

float realTimeFactor(double audioSeconds, double processingSeconds) noexcept {
    const auto audio = static_cast<float>(audioSeconds);
    const auto processing = static_cast<float>(processingSeconds);
    if (!(processing > 0.0f) || !std::isfinite(processing)) return 0.0f;
    return finiteRealTimeFactor(audio / processing);
}

float finiteRealTimeFactor(float factor) noexcept { return std::isfinite(factor) ? factor : 0.0f; }

}  // namespace rarivoredu
