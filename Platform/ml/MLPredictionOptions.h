#pragma once

#include <map>
#include <string>

#include "Platform/ml/MLMultiArray.h"

namespace platform {

// Options of one prediction. An output named in `outputBackings` is written into the given
// array, and the prediction returns that very array for it. A backing may be an array that is
// also an input of the same prediction: every input is read before any output is written.
struct MLPredictionOptions {
    std::map<std::string, MLMultiArrayPtr, std::less<>> outputBackings;
};

}  // namespace platform
