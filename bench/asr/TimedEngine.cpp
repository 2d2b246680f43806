#include "bench/asr/TimedEngine.h"

namespace benchasr {

platform::MLModelPtr TimedEngine::wrap(const platform::MLModelPtr& model, std::shared_ptr<TimedEngine>& engine) {
    engine = std::make_shared<TimedEngine>(model);
    return platform::MLModel::withEngine(engine, model->modelDescription(), model->configuration());
}

platform::MLDictionaryFeatureProvider::Dictionary TimedEngine::predict(const platform::MLFeatureProvider& inputs,
                                                                       const platform::MLPredictionOptions& options) {
    const auto start = Clock::now();
    const auto outputs = model_->predictionFromFeatures(inputs, options);
    seconds_ += std::chrono::duration<double>(Clock::now() - start).count();
    ++calls_;
    platform::MLDictionaryFeatureProvider::Dictionary result;
    for (const auto& name : outputs->featureNames()) result.insert_or_assign(name, *outputs->featureValueForName(name));
    return result;
}

}  // namespace benchasr
