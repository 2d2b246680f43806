#include "bench/asr/TimedEngine.h"

#include <sys/resource.h>

namespace benchasr {
namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

}  // namespace

platform::MLModelPtr TimedEngine::wrap(const platform::MLModelPtr& model, std::shared_ptr<TimedEngine>& engine) {
    engine = std::make_shared<TimedEngine>(model);
    return platform::MLModel::withEngine(engine, model->modelDescription(), model->configuration());
}

platform::MLDictionaryFeatureProvider::Dictionary TimedEngine::predict(const platform::MLFeatureProvider& inputs,
                                                                       const platform::MLPredictionOptions& options) {
    const long faults = minorFaults();
    const auto start = Clock::now();
    const auto outputs = model_->predictionFromFeatures(inputs, options);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    seconds_ += elapsed;
    callSeconds_.push_back(elapsed);
    callFaults_.push_back(minorFaults() - faults);
    platform::MLDictionaryFeatureProvider::Dictionary result;
    for (const auto& name : outputs->featureNames()) result.insert_or_assign(name, *outputs->featureValueForName(name));
    return result;
}

}  // namespace benchasr
