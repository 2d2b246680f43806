#pragma once

#include "Platform/ml/MLComputeUnits.h"

namespace rarivoredu {

// Settings of the voice activity detector.
struct VadConfig {
    float threshold = 0.85f;  // a chunk whose speech probability is at or above this counts as voice
    bool debugMode = false;   // kept with the settings; changes nothing
    platform::MLComputeUnits computeUnits = platform::MLComputeUnits::cpuAndNeuralEngine;  // for the model loader

    static VadConfig defaultConfig() { return {}; }
};

}  // namespace rarivoredu
