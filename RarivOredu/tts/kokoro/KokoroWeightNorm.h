#pragma once

#include <filesystem>

#include <cstdint>
#include <string>
#include <vector>

#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

// Weight-normed layers as plain weights: each `<layer>.weight_g` / `<layer>.weight_v` pair becomes
// `<layer>.weight` = v × (g ÷ ‖v‖), the norm taken over every dimension but the first.
//
// The fold runs in libtorch (a TorchScript module of the pairs, written into `scratchFolder`,
// run once and removed), with the very kernel the upstream modules call at every step. Our own
// arithmetic rounds differently in the last place now and then, and the sine source integrates
// the pitch that moves by such an ulp into phase differences that reach 0.66 in the audio.
// Folding once at import spares every prediction the pass over the 45 million weights and their
// transient copy.
struct KokoroWeightNorm {
    // Throws platform::NSError when the runtime cannot build or run the module, and
    // CheckpointError::missingTensor for a weight_v without its weight_g (or the reverse).
    static StateDict fold(const StateDict& weights, const std::filesystem::path& scratchFolder);

    // The weight of a layer, plain or weight-normed.
    static bool hasWeight(const StateDict& weights, const std::string& name);
    // Its shape: that of `weight_v` when weight-normed. Throws CheckpointError::missingTensor.
    static std::vector<std::int64_t> weightShape(const StateDict& weights, const std::string& name);
};

}  // namespace rarivoredu
