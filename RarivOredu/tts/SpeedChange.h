#pragma once

#include <span>
#include <vector>

namespace rarivoredu::KokoroSynthesizer {

// A speed within 0.01 of 1 leaves the audio as it is.
constexpr float unchangedSpeedTolerance = 0.01f;

// The speed a request is voiced at, as given. Throws TTSError.processingFailed "Speed must be a
// finite number" for NaN and the infinities, and "Speed 3.7 is outside the supported range 0.5 to 2"
// for a speed outside TtsConstants' range: a request is never voiced at another speed than asked.
float checkedSpeed(float speed);
// Whether the (checked) speed changes the audio.
bool changesAudio(float speed) noexcept;

// The samples played `speed` times as fast at the same pitch: round(n ÷ speed) samples; a copy when
// the speed does not change the audio. Refuses the speeds checkedSpeed refuses. Each thread keeps one time stretcher for these calls.
std::vector<float> applySpeed(std::span<const float> samples, float speed);

}  // namespace rarivoredu::KokoroSynthesizer
