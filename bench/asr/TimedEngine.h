#pragma once

#include <chrono>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelEngine.h"

namespace benchasr {

// Runs another model and adds the time each prediction takes to a total.
class TimedEngine : public platform::MLModelEngine {
public:
    using Clock = std::chrono::steady_clock;

    explicit TimedEngine(platform::MLModelPtr model) : model_(std::move(model)) {}

    // A model with the same description, run by a TimedEngine over `model`.
    static platform::MLModelPtr wrap(const platform::MLModelPtr& model, std::shared_ptr<TimedEngine>& engine);

    platform::MLDictionaryFeatureProvider::Dictionary predict(const platform::MLFeatureProvider& inputs,
                                                              const platform::MLPredictionOptions& options) override;

    double seconds() const noexcept { return seconds_; }
    long calls() const noexcept { return calls_; }
    void reset() noexcept { seconds_ = 0, calls_ = 0; }

private:
    platform::MLModelPtr model_;
    double seconds_ = 0;
    long calls_ = 0;
};

}  // namespace benchasr
