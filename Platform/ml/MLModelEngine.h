#pragma once

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLPredictionOptions.h"

namespace platform {

// What runs a model's computation. The model has already checked the inputs against its
// description. The engine returns every output by name; outputs named in the options'
// backings are written into those arrays (only after every input was read) and returned as them.
class MLModelEngine {
public:
    virtual ~MLModelEngine() = default;
    virtual MLDictionaryFeatureProvider::Dictionary predict(const MLFeatureProvider& inputs,
                                                            const MLPredictionOptions& options) = 0;
};

}  // namespace platform
