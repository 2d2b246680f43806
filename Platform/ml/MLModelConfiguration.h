#pragma once

#include "Platform/ml/MLComputeUnits.h"

namespace platform {

// How a model is to be loaded.
struct MLModelConfiguration {
    MLComputeUnits computeUnits = MLComputeUnits::all;
    bool allowLowPrecisionAccumulationOnGPU = false;
};

}  // namespace platform
