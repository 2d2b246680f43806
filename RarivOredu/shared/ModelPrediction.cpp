#include "RarivOredu/shared/ModelPrediction.h"

namespace rarivoredu {

std::shared_ptr<platform::MLFeatureProvider> compatPrediction(const platform::MLModel& model,
                                                              const platform::MLFeatureProvider& from,
                                                              const platform::MLPredictionOptions& options) {
    return model.predictionFromFeatures(from, options);
}

}  // namespace rarivoredu
