#pragma once

#include "Platform/ml/MLModel.h"

namespace rarivoredu {

// The loaded pair of diarizer models and what loading them took, in seconds.
struct DiarizerModels {
    platform::MLModelPtr segmentationModel;
    platform::MLModelPtr embeddingModel;
    double downloadDuration = 0;     // fetching from the hub; 0 when the models were present
    double compilationDuration = 0;  // loading
};

}  // namespace rarivoredu
