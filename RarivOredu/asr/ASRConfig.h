#pragma once

#include <cstdint>

#include "RarivOredu/asr/TdtConfig.h"

namespace rarivoredu {

// Configuration of the batch recogniser.
struct ASRConfig {
    // Sample rate of the audio handed to the recogniser, in Hz; also the divisor for durations.
    std::int64_t sampleRate = 16000;
    TdtConfig tdtConfig;

    static const ASRConfig& defaultConfig();

    // The one check of a recogniser configuration: a positive sample rate and a valid decoder
    // configuration. Throws std::invalid_argument.
    void validate() const;

    bool operator==(const ASRConfig&) const = default;
};

}  // namespace rarivoredu
