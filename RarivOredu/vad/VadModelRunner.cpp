#include "RarivOredu/vad/VadModelRunner.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "Platform/text/StringSearch.h"

#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/vad/VadError.h"

namespace rarivoredu {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

const std::string audioKey = "vad_audio_input";
const std::string hiddenKey = "vad_hidden_state";
const std::string cellKey = "vad_cell_state";
const std::string audioFeature = "audio_input";
const std::string hiddenFeature = "hidden_state";
const std::string cellFeature = "cell_state";
const MLMultiArray::Shape audioShape{1, VadModelRunner::audioInputSize};
const MLMultiArray::Shape stateShape{1, VadState::stateSize};
const std::array<std::string, 1> probabilityOutputs{"vad_output"};
const std::array<std::string, 1> hiddenOutputs{"new_hidden_state"};
const std::array<std::string, 1> cellOutputs{"new_cell_state"};

// The first `count` values of an output as 32-bit floats.
void readFirst(const MLMultiArray& output, float* to, std::int64_t count, const char* what) {
    if (output.count() < count) {
        throw std::runtime_error(std::string(what) + " has " + std::to_string(output.count()) + " values, fewer than " +
                                 std::to_string(count));
    }
    if (output.dataType() == MLMultiArrayDataType::float32 && output.isContiguous()) {
        std::memcpy(to, output.data<float>(), static_cast<std::size_t>(count) * sizeof(float));
        return;
    }
    for (std::int64_t i = 0; i < count; ++i) to[i] = static_cast<float>(output[i]);
}

}  // namespace

float VadModelRunner::run(std::span<const float> chunk, const VadState& state, const platform::MLModel& model,
                          VadState& next) {
    // Every failure of the step, a missing output's own VadError included, is reported as a
    // processing failure carrying its description.
    try {
        return predict(chunk, state, model, next);
    } catch (const std::exception& error) {
        const std::string description = error.what();
        logger_.error("Model processing failed: " + description);
        throw VadError::modelProcessingFailed(description);
    }
}

float VadModelRunner::predict(std::span<const float> chunk, const VadState& state, const platform::MLModel& model,
                              VadState& next) {
    constexpr auto float32 = MLMultiArrayDataType::float32;
    // Keys and shapes are made once: a chunk allocates nothing of its own.
    const auto audio = memoryOptimizer_.getPooledBuffer(audioKey, audioShape, float32);
    const auto hidden = memoryOptimizer_.getPooledBuffer(hiddenKey, stateShape, float32);
    const auto cell = memoryOptimizer_.getPooledBuffer(cellKey, stateShape, float32);

    // Every input value is written, so the reused buffers need no clearing.
    const std::size_t used = std::min<std::size_t>(chunk.size(), chunkSize);
    memoryOptimizer_.optimizedCopy(state.context, *audio, 0);
    memoryOptimizer_.optimizedCopy(chunk.first(used), *audio, VadState::contextSize);
    // One row: its elements lie one after another even in a padded buffer.
    float* row = audio->data<float>();
    std::fill(row + VadState::contextSize + used, row + audioInputSize, used > 0 ? chunk[used - 1] : 0.0f);
    memoryOptimizer_.optimizedCopy(state.hiddenState, *hidden, 0);
    memoryOptimizer_.optimizedCopy(state.cellState, *cell, 0);

    if (!provider_ || providerBuffers_[0] != audio || providerBuffers_[1] != hidden || providerBuffers_[2] != cell) {
        provider_.emplace(platform::MLDictionaryFeatureProvider::Dictionary{
            {audioFeature, MLFeatureValue::featureValueWithMultiArray(audio)},
            {hiddenFeature, MLFeatureValue::featureValueWithMultiArray(hidden)},
            {cellFeature, MLFeatureValue::featureValueWithMultiArray(cell)},
        });
        providerBuffers_[0] = audio;
        providerBuffers_[1] = hidden;
        providerBuffers_[2] = cell;
    }

    const auto output = compatPrediction(model, *provider_, options_);
    const auto probability = requireOutput(*output, probabilityOutputs, "No vad output found", "No VAD output");
    const auto newHidden =
        requireOutput(*output, hiddenOutputs, "No new hidden state output found", "No new hidden state output");
    const auto newCell = requireOutput(*output, cellOutputs, "No new cell state output found", "No new cell state output");

    float p = 0;
    readFirst(*probability, &p, 1, "VAD output");
    readFirst(*newHidden, next.hiddenState.data(), VadState::stateSize, "New hidden state output");
    readFirst(*newCell, next.cellState.data(), VadState::stateSize, "New cell state output");
    return p;
}

MLMultiArrayPtr VadModelRunner::requireOutput(const platform::MLFeatureProvider& provider,
                                              std::span<const std::string> candidates, const char* logText,
                                              const char* message) const {
    auto found = lookupOutput(provider, candidates);
    if (!found) {
        logger_.error(logText);
        throw VadError::modelProcessingFailed(message);
    }
    return found;
}

MLMultiArrayPtr VadModelRunner::lookupOutput(const platform::MLFeatureProvider& provider,
                                             std::span<const std::string> candidates) {
    for (const auto& candidate : candidates) {
        const auto value = provider.featureValueForName(candidate);
        if (value && value->multiArrayValue()) return value->multiArrayValue();
    }
    const auto names = provider.featureNames();
    for (const auto& candidate : candidates) {
        const std::string wanted = platform::lowercased(candidate);
        const auto match = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return platform::lowercased(name).find(wanted) != std::string::npos;
        });
        if (match == names.end()) continue;
        const auto value = provider.featureValueForName(*match);
        if (value && value->multiArrayValue()) return value->multiArrayValue();
    }
    return nullptr;
}

}  // namespace rarivoredu
