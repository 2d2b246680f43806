#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "RarivOredu/shared/ANEMemoryOptimizer.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/vad/VadState.h"

namespace rarivoredu {

// One step of the voice activity model over one chunk.
//
// Inputs: "audio_input" [1, 4160] (64 context samples, then 4096 new ones), "hidden_state" and
// "cell_state" [1, 128], all float32, in pooled buffers that every chunk reuses. Outputs, found by
// name (exactly, else the first output whose lower-cased name contains it): "vad_output" (its
// first value is the probability), "new_hidden_state" and "new_cell_state" (their first 128
// values are the next state). An output that is missing or holds fewer values, and any failure
// of the buffers or the prediction, throw VadError::modelProcessingFailed.
//
// Not synchronised: the owner runs one step at a time.
class VadModelRunner {
public:
    static constexpr std::int64_t chunkSize = 4096;
    static constexpr std::int64_t audioInputSize = VadState::contextSize + chunkSize;

    explicit VadModelRunner(const AppLogger& logger) : logger_(logger) {}

    // Runs the model on the state's context followed by the chunk brought to 4096 samples (cut
    // after 4096, or extended with copies of its last sample, 0 when empty). Writes the next
    // hidden and cell states into `next` and returns the probability.
    float run(std::span<const float> chunk, const VadState& state, const platform::MLModel& model, VadState& next);

    // The first candidate the provider holds as a multi-array under exactly that name; else, for
    // each candidate in order, the first feature whose lower-cased name contains it.
    static platform::MLMultiArrayPtr lookupOutput(const platform::MLFeatureProvider& provider,
                                                  std::span<const std::string> candidates);

private:
    float predict(std::span<const float> chunk, const VadState& state, const platform::MLModel& model, VadState& next);
    platform::MLMultiArrayPtr requireOutput(const platform::MLFeatureProvider& provider,
                                            std::span<const std::string> candidates, const char* logText,
                                            const char* message) const;

    const AppLogger& logger_;
    ANEMemoryOptimizer memoryOptimizer_;
    // The inputs, built once over the pooled buffers and rebuilt only when the pool hands out
    // other ones.
    std::optional<platform::MLDictionaryFeatureProvider> provider_;
    platform::MLMultiArrayPtr providerBuffers_[3];
    const platform::MLPredictionOptions options_{};
};

}  // namespace rarivoredu
