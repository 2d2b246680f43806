#pragma once

#include <set>
#include <string>

#include "RarivOredu/checkpoint/StateDict.h"
#include "RarivOredu/tts/kokoro/KokoroNetworkConfig.h"

namespace rarivoredu {

// The TorchScript of one Kokoro bundle. Its forward takes `input_ids` and `attention_mask`
// (int32 [1, tokens]), `ref_s` (float32 [1, 2 × style]) and `random_phases` (float32 [1, 9]) and
// returns `audio` (float32 [1, frameBudget × samplesPerFrame]), `audio_length_samples`
// (int32 [1]) and `durations` (int32 [1, tokens]: the frames of each attended id, 0 after them).
//
// The ids the mask covers run through the text model (ALBERT: one shared layer applied
// albertLayers times), a linear map to the hidden width and the prosody predictor (AdaLayerNorm
// with the style half of ref_s, BiLSTMs); each token's duration is its rounded sum of sigmoids,
// at least one frame. The alignment is built from the durations' cumulative sums on the frame
// budget and cut where the speech ends (or at the budget), so the pitch and energy predictors,
// the text encoder and the iSTFTNet decoder (AdaIN resblocks, Snake activations, a sine source
// whose harmonics start at `random_phases`, no Gaussian noise) run on the spoken frames only;
// the audio is padded with zeros to the budget.
struct KokoroScriptSource {
    std::string source;
    // The weights the source uses as `self.<bufferName(name)>`.
    std::set<std::string> weights;

    // A layer given as a weight_g / weight_v pair has its weight computed at every call; the
    // import folds them first (KokoroWeightNorm). Throws CheckpointError::missingTensor for a
    // weight the network needs and does not find.
    static KokoroScriptSource make(const StateDict& weights, const KokoroNetworkConfig& config, int tokens,
                                   int frameBudget);
    // "decoder.encode.conv1.weight_v" → "decoder_encode_conv1_weight_v".
    static std::string bufferName(const std::string& weight);
};

}  // namespace rarivoredu
