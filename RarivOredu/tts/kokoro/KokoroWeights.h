#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

class TorchCheckpoint;

// The tensors of a Kokoro checkpoint by their module path ("decoder.generator.ups.0.weight_v"):
// the five state dicts `bert`, `bert_encoder`, `predictor`, `text_encoder` and `decoder` joined
// under their names, the "module." prefix of a data-parallel save removed. Weight-normed
// convolutions keep their `weight_g` / `weight_v` pair as read; KokoroWeightNorm folds them.
class KokoroWeights {
public:
    KokoroWeights() = default;
    explicit KokoroWeights(std::map<std::string, platform::MLMultiArrayPtr> tensors);

    // Reads every tensor as float32. Throws CheckpointError: missingTensor when one of the five
    // parts is absent, malformed for a tensor outside them or not named as a module path.
    static KokoroWeights fromCheckpoint(const TorchCheckpoint& checkpoint);

    const std::map<std::string, platform::MLMultiArrayPtr>& tensors() const noexcept { return tensors_; }
    bool contains(const std::string& name) const { return tensors_.count(name) != 0; }
    // The weight of a layer, plain or weight-normed (then the shape of `weight_v`).
    bool hasWeight(const std::string& name) const;
    // Throws CheckpointError::missingTensor.
    const platform::MLMultiArray& tensor(const std::string& name) const;
    std::vector<std::int64_t> weightShape(const std::string& name) const;
    std::int64_t parameterCount() const;

    // The five state dicts of a checkpoint.
    static const std::vector<std::string>& parts();

private:
    std::map<std::string, platform::MLMultiArrayPtr> tensors_;
};

}  // namespace rarivoredu
