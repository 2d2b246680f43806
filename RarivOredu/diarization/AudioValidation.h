#pragma once

#include <span>

#include "RarivOredu/diarization/AudioValidationResult.h"

namespace rarivoredu {

// The checks the diarizer applies to its inputs. Stateless.
struct AudioValidation {
    static constexpr float sampleRate = 16000;

    // Issues, in this order: "Audio too short (minimum 1 second)", "No audio data",
    // "Audio too quiet or silent" (RMS below 0.01).
    AudioValidationResult validateAudio(std::span<const float> samples) const;
    // sqrt(Σ x² / n) in single precision; 0 for no samples.
    float calculateRMS(std::span<const float> samples) const;
    // Not empty, every value finite, L2 norm above 0.1.
    bool validateEmbedding(std::span<const float> embedding) const;
};

}  // namespace rarivoredu
