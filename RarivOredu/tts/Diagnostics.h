#pragma once

#include <cstdint>
#include <map>

#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu::KokoroSynthesizer {

// Sizes reported with a detailed synthesis.
struct Diagnostics {
    std::map<ModelNames::TTS::Variant, std::int64_t> variantFootprints;  // bytes per variant used
    std::int64_t lexiconEntryCount = 0;
    std::int64_t lexiconEstimatedBytes = 0;
    std::int64_t audioSampleBytes = 0;
    std::int64_t outputWavBytes = 0;

    // A copy with the two audio sizes replaced.
    Diagnostics updatingAudioSizes(std::int64_t newAudioSampleBytes, std::int64_t newOutputWavBytes) const {
        Diagnostics copy = *this;
        copy.audioSampleBytes = newAudioSampleBytes;
        copy.outputWavBytes = newOutputWavBytes;
        return copy;
    }

    friend bool operator==(const Diagnostics&, const Diagnostics&) = default;
};

}  // namespace rarivoredu::KokoroSynthesizer
