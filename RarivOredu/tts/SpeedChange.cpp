#include "RarivOredu/tts/SpeedChange.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TimeStretcher.h"
#include "RarivOredu/tts/TtsConstants.h"

namespace rarivoredu::KokoroSynthesizer {

namespace {

// The speed as the refusal quotes it: shortest round-trip form, C locale.
std::string speedText(float speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(speed));
    return text;
}

}  // namespace

float checkedSpeed(float speed) {
    if (!std::isfinite(speed)) throw TTSError::processingFailed("Speed must be a finite number");
    if (speed < TtsConstants::minimumSpeed || speed > TtsConstants::maximumSpeed) {
        throw TTSError::processingFailed("Speed " + speedText(speed) + " is outside the supported range " +
                                         speedText(TtsConstants::minimumSpeed) + " to " +
                                         speedText(TtsConstants::maximumSpeed));
    }
    return speed;
}

bool changesAudio(float speed) noexcept { return std::fabs(speed - 1.0f) >= unchangedSpeedTolerance; }

std::vector<float> applySpeed(std::span<const float> samples, float speed) {
    const float checked = checkedSpeed(speed);
    if (!changesAudio(checked)) return {samples.begin(), samples.end()};
    thread_local TimeStretcher stretcher;
    std::vector<float> stretched;
    stretcher.stretch(samples, checked, stretched);
    return stretched;
}

}  // namespace rarivoredu::KokoroSynthesizer
