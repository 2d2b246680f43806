#pragma once

#include <filesystem>
#include <memory>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLModelConfiguration.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLModelEngine.h"
#include "Platform/ml/MLPredictionOptions.h"

namespace platform {

// A loaded model. Predictions may run from several threads at once; a caller that backs
// outputs with its own arrays must not share those arrays between concurrent predictions.
class MLModel {
public:
    // Loads a compiled model folder (see MLModelBundle). Throws NSError: code io when the folder,
    // its description or its module cannot be read.
    static std::shared_ptr<MLModel> modelWithContentsOfURL(const std::filesystem::path& url,
                                                           const MLModelConfiguration& configuration = {});
    // A model run by the given engine, for models built in code.
    static std::shared_ptr<MLModel> withEngine(std::shared_ptr<MLModelEngine> engine, MLModelDescription description,
                                               const MLModelConfiguration& configuration = {});

    const MLModelDescription& modelDescription() const noexcept { return description_; }
    const MLModelConfiguration& configuration() const noexcept { return configuration_; }

    // Runs the model. Inputs are checked against the description first (a required input
    // missing, a value of the wrong kind or a multi-array of a shape the model does not accept
    // throws NSError code featureType); the engine's own failures throw NSError code generic.
    std::shared_ptr<MLFeatureProvider> predictionFromFeatures(const MLFeatureProvider& input,
                                                              const MLPredictionOptions& options = {}) const;

private:
    MLModel(std::shared_ptr<MLModelEngine> engine, MLModelDescription description, MLModelConfiguration configuration);
    void checkInputs(const MLFeatureProvider& input) const;

    std::shared_ptr<MLModelEngine> engine_;
    MLModelDescription description_;
    MLModelConfiguration configuration_;
};

using MLModelPtr = std::shared_ptr<MLModel>;

}  // namespace platform
