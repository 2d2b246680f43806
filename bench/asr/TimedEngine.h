#pragma once

#include <chrono>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelEngine.h"

namespace benchasr {

// Runs another model and keeps the time, the process's CPU time, the minor page faults and the
// length of the "mel" input (its last dimension, 0 without one) of each prediction.
class TimedEngine : public platform::MLModelEngine {
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedEngine(platform::MLModelPtr model) : model_(std::move(model)) {}

    // A model with the same description, run by a TimedEngine over `model`.
    static platform::MLModelPtr wrap(const platform::MLModelPtr& model, std::shared_ptr<TimedEngine>& engine);

    platform::MLDictionaryFeatureProvider::Dictionary predict(const platform::MLFeatureProvider& inputs,
                                                              const platform::MLPredictionOptions& options) override;

    double seconds() const noexcept { return seconds_; }
    double cpuSeconds() const noexcept { return cpuSeconds_; }
    long calls() const noexcept { return static_cast<long>(callSeconds_.size()); }
    const std::vector<double>& callSeconds() const noexcept { return callSeconds_; }
    const std::vector<long>& callFaults() const noexcept { return callFaults_; }
    const std::vector<long>& callFrames() const noexcept { return callFrames_; }
    void reset() noexcept { seconds_ = 0, cpuSeconds_ = 0, callSeconds_.clear(), callFaults_.clear(), callFrames_.clear(); }

private:
    platform::MLModelPtr model_;
    double seconds_ = 0;
    double cpuSeconds_ = 0;
    std::vector<double> callSeconds_;
    std::vector<long> callFaults_;
    std::vector<long> callFrames_;
};

}  // namespace benchasr
