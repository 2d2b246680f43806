#include "RarivOredu/diarization/AudioValidation.h"

#include <cmath>

#include "RarivOredu/diarization/VectorMath.h"

namespace rarivoredu {

AudioValidationResult AudioValidation::validateAudio(std::span<const float> samples) const {
    AudioValidationResult result;
    result.durationSeconds = static_cast<float>(samples.size()) / sampleRate;
    if (result.durationSeconds < 1.0f) result.issues.emplace_back("Audio too short (minimum 1 second)");
    if (samples.empty()) result.issues.emplace_back("No audio data");
    if (calculateRMS(samples) < 0.01f) result.issues.emplace_back("Audio too quiet or silent");
    result.isValid = result.issues.empty();
    return result;
}

float AudioValidation::calculateRMS(std::span<const float> samples) const {
    if (samples.empty()) return 0;
    return std::sqrt(VectorMath::sumOfSquares(samples) / static_cast<float>(samples.size()));
}

bool AudioValidation::validateEmbedding(std::span<const float> embedding) const {
    if (embedding.empty() || !VectorMath::allFinite(embedding)) return false;
    return VectorMath::l2Norm(embedding) > 0.1f;
}

}  // namespace rarivoredu
