#include "Platform/ml/MLModel.h"

#include <string>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/MLModelError.h"
#include "Platform/ml/TorchScriptRuntime.h"

namespace platform {
namespace {

std::string shapeText(const std::vector<std::int64_t>& shape) {
    std::string s = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) s += (i ? ", " : "") + std::to_string(shape[i]);
    return s + "]";
}

}  // namespace

MLModel::MLModel(std::shared_ptr<MLModelEngine> engine, MLModelDescription description, MLModelConfiguration configuration)
    : engine_(std::move(engine)), description_(std::move(description)), configuration_(configuration) {}

std::shared_ptr<MLModel> MLModel::modelWithContentsOfURL(const std::filesystem::path& url,
                                                         const MLModelConfiguration& configuration) {
    MLModelBundle bundle = MLModelBundle::read(url);
    std::shared_ptr<MLModelEngine> engine;
    if (bundle.engine == MLModelBundle::Engine::torchScript) {
        const auto module = url / MLModelBundle::torchScriptFileName;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(module, ec)) {
            throw MLModelError::ioError("The compiled model at " + url.string() + " has no " +
                                        MLModelBundle::torchScriptFileName);
        }
        engine = TorchScriptRuntime::shared().makeEngine(module, bundle.description, bundle.threading);
    } else {
        engine = InProcessEngine::make(bundle.inProcessName, bundle.description, configuration);
    }
    return std::shared_ptr<MLModel>(new MLModel(std::move(engine), std::move(bundle.description), configuration));
}

std::shared_ptr<MLModel> MLModel::withEngine(std::shared_ptr<MLModelEngine> engine, MLModelDescription description,
                                             const MLModelConfiguration& configuration) {
    return std::shared_ptr<MLModel>(new MLModel(std::move(engine), std::move(description), configuration));
}

void MLModel::checkInputs(const MLFeatureProvider& input) const {
    for (const auto& feature : description_.inputs) {
        const auto value = input.featureValueForName(feature.name);
        if (!value || value->type() == MLFeatureType::invalid) {
            if (feature.isOptional) continue;
            throw MLModelError::featureTypeError("Required input feature '" + feature.name + "' was not given");
        }
        const bool numeric = feature.type == MLFeatureType::int64 || feature.type == MLFeatureType::doubleValue;
        const bool valueNumeric = value->type() == MLFeatureType::int64 || value->type() == MLFeatureType::doubleValue;
        if (value->type() != feature.type && !(numeric && valueNumeric)) {
            throw MLModelError::featureTypeError("Input feature '" + feature.name + "' must be of type " +
                                                 name(feature.type) + ", not " + name(value->type()));
        }
        if (feature.type == MLFeatureType::multiArray && feature.multiArrayConstraint &&
            !feature.multiArrayConstraint->accepts(value->multiArrayValue()->shape())) {
            throw MLModelError::featureTypeError("Input feature '" + feature.name + "' has the shape " +
                                                 shapeText(value->multiArrayValue()->shape()) +
                                                 ", which the model does not accept (expected " +
                                                 shapeText(feature.multiArrayConstraint->shape) + ")");
        }
    }
}

std::shared_ptr<MLFeatureProvider> MLModel::predictionFromFeatures(const MLFeatureProvider& input,
                                                                   const MLPredictionOptions& options) const {
    checkInputs(input);
    auto outputs = engine_->predict(input, options);
    return std::make_shared<MLDictionaryFeatureProvider>(std::move(outputs));
}

}  // namespace platform
