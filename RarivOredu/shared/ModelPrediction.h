#pragma once

#include <memory>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLPredictionOptions.h"

namespace rarivoredu {

// The one prediction call of every model runner in the library. It blocks the calling thread
// for the prediction and passes the model's failure on unchanged.
std::shared_ptr<platform::MLFeatureProvider> compatPrediction(const platform::MLModel& model,
                                                              const platform::MLFeatureProvider& from,
                                                              const platform::MLPredictionOptions& options);

}  // namespace rarivoredu
