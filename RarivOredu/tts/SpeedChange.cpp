#include "RarivOredu/tts/SpeedChange.h"

#include <algorithm>
#include <cmath>

#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TimeStretcher.h"
#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroSynthesizer {

float checkedSpeed(float speed) {
    if (!std::isfinite(speed)) throw TTSError::processingFailed("Speed must be a finite number");
    return std::clamp(speed, TtsConstants::minimumSpeed, TtsConstants::maximumSpeed);
}

bool changesAudio(float speed) noexcept { return std::fabs(speed - 1.0f) >= unchangedSpeedTolerance; }

std::vector<float> applySpeed(std::span<const float> samples, float speed) {
    if (!std::isfinite(speed)) return {samples.begin(), samples.end()};
    const float clamped = std::clamp(speed, TtsConstants::minimumSpeed, TtsConstants::maximumSpeed);
    if (!changesAudio(clamped)) return {samples.begin(), samples.end()};
    thread_local TimeStretcher stretcher;
    std::vector<float> stretched;
    stretcher.stretch(samples, clamped, stretched);
    return stretched;
}

}  // namespace rarivoredu::KokoroSynthesizer
