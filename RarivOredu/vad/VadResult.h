#pragma once

#include "RarivOredu/vad/VadState.h"

namespace rarivoredu {

// What the detector found in one chunk.
struct VadResult {
    float probability = 0;        // the model's speech probability
    bool isVoiceActive = false;   // probability ≥ VadConfig::threshold
    double processingTime = 0;    // wall-clock seconds spent on the chunk
    VadState outputState;         // to pass with the next chunk
};

}  // namespace rarivoredu
