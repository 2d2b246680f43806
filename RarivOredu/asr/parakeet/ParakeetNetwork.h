#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/ThreadingPreference.h"
#include "RarivOredu/asr/parakeet/ParakeetConfig.h"
#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

// How ParakeetNetwork writes its bundles.
struct ParakeetNetworkOptions {
    // The Encoder's linear layers as int8 per output channel, inputs quantised per call.
    bool int8Encoder = false;
    // Every bundle's thread preference instead of the usual one (the Encoder on libtorch's
    // pool when int8, everything else on OpenBLAS's).
    std::optional<platform::ThreadingPreference> threading;
    // The JointDecision also returns its raw "logits" [1, tokens + durations].
    bool jointLogits = false;
};

// Builds the four model bundles of a Parakeet TDT set from a checkpoint's state dict:
//  - Preprocessor: "audio_signal" [1, N], "audio_length" [1] → "mel" [1, 128, 1 + N/160] (frames
//    from "mel_length" = length/160 on are 0), "mel_length";
//  - Encoder: "mel", "mel_length" → "encoder" [1, d_model, T/8], "encoder_length";
//  - Decoder: "targets" [1, 1], "target_length", "h_in", "c_in" [2, 1, H] → "decoder" [1, H, 1],
//    "h_out", "c_out";
//  - JointDecision: "encoder_step" [1, d_model, 1], "decoder_step" [1, H, 1] → "token_id",
//    "token_prob" (the token's softmax probability among the tokens), "duration" (the index of
//    the best duration), each [1, 1, 1].
// Blocks: the preprocessor is pre-emphasis → STFT power → log mel filterbank → per-bin
// normalisation; the encoder is subsampling (3×3 conv stride 2, then twice depthwise stride 2 +
// pointwise, ReLUs) → linear → `layers` conformer blocks (½ feed-forward, relative-position
// self-attention, convolution module of pointwise + GLU, depthwise, SiLU, pointwise, ½
// feed-forward, layer norm); the decoder is an embedding → two-layer LSTM; the joint is the sum of
// the two projections → ReLU → linear over tokens and durations.
// The maths is that of the checkpoints' training code in evaluation mode; batch norm is folded
// into the depthwise convolution.
class ParakeetNetwork {
public:
    using Shape = platform::MLMultiArray::Shape;

    enum class Module { preprocessor, encoder, decoder, joint };
    static constexpr Module modules[] = {Module::preprocessor, Module::encoder, Module::decoder, Module::joint};

    struct TensorSpec {
        std::string name;
        Shape shape;
        bool integer = false;  // int64 in the checkpoint, not read by the network
    };

    using Options = ParakeetNetworkOptions;

    explicit ParakeetNetwork(ParakeetConfig config);

    const ParakeetConfig& config() const noexcept { return config_; }

    // The state-dict tensors a module is built from, with their shapes.
    std::vector<TensorSpec> tensors(Module module) const;
    // Every tensor of the checkpoint's state dict, the ones the network does not read included.
    std::vector<TensorSpec> allTensors() const;

    // "Preprocessor.mlmodelc", "Encoder.mlmodelc", "Decoder.mlmodelc", "JointDecision.mlmodelc".
    static std::string bundleName(Module module);
    // Writes the module's bundle (description and TorchScript module) into `bundleFolder`. A
    // tensor of `weights` that is missing or of another shape throws CheckpointError naming it.
    void write(Module module, const std::filesystem::path& bundleFolder, const StateDict& weights,
               const Options& options = {}) const;
    platform::MLModelDescription description(Module module, const Options& options = {}) const;

    // "parakeet_vocab.json": the pieces by id.
    std::string vocabularyJson() const;

private:
    void writePreprocessor(const std::filesystem::path& file, const StateDict& weights) const;
    void writeEncoder(const std::filesystem::path& file, const StateDict& weights, bool int8) const;
    void writeDecoder(const std::filesystem::path& file, const StateDict& weights) const;
    void writeJoint(const std::filesystem::path& file, const StateDict& weights, bool logits) const;

    ParakeetConfig config_;
};

}  // namespace rarivoredu
