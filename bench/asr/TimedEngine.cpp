#include "bench/asr/TimedEngine.h"

#include <sys/resource.h>

#include <ctime>

namespace benchasr {
namespace {

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

platform::MLModelPtr TimedEngine::wrap(const platform::MLModelPtr& model, std::shared_ptr<TimedEngine>& engine) {
    engine = std::make_shared<TimedEngine>(model);
    return platform::MLModel::withEngine(engine, model->modelDescription(), model->configuration());
}

platform::MLDictionaryFeatureProvider::Dictionary TimedEngine::predict(const platform::MLFeatureProvider& inputs,
                                                                       const platform::MLPredictionOptions& options) {
    const long faults = minorFaults();
    const double cpu = processCpuSeconds();
    const auto start = Clock::now();
    const auto outputs = model_->predictionFromFeatures(inputs, options);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    cpuSeconds_ += processCpuSeconds() - cpu;
    seconds_ += elapsed;
    const auto mel = inputs.featureValueForName("mel");
    callFrames_.push_back(mel && mel->multiArrayValue() ? static_cast<long>(mel->multiArrayValue()->shape().back()) : 0);
    callSeconds_.push_back(elapsed);
    callFaults_.push_back(minorFaults() - faults);
    platform::MLDictionaryFeatureProvider::Dictionary result;
    for (const auto& name : outputs->featureNames()) result.insert_or_assign(name, *outputs->featureValueForName(name));
    return result;
}

}  // namespace benchasr
