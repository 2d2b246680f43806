#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "Platform/ml/ThreadingPreference.h"

namespace testsupport {

// The size of a recognition network. Widths the recogniser fixes (encoder 1024, decoder 640,
// 8193 tokens with the blank, 5 durations, 128 mel bins) are not among them.
struct AsrNetworkShape {
    int layers = 24;
    int heads = 8;
    int feedForward = 4096;
    int subsamplingChannels = 256;
    int convolutionKernel = 9;

    static AsrNetworkShape realSize() { return {}; }
    // One layer, narrow: for tests, a few tens of MB.
    static AsrNetworkShape tiny() { return {1, 8, 256, 16, 9}; }
};

// A recognition model set with the real network and seeded random weights, written as TorchScript
// bundles the runtime loads:
//  - Preprocessor: pre-emphasis, 512-point STFT (400-sample Hann window, hop 160), 128 mel bins,
//    log, per-bin normalisation over the valid frames → "mel" [1, 128, T], "mel_length";
//  - Encoder: 8x depthwise-separable convolution subsampling, then conformer layers (half-step
//    feed-forward, relative-position multi-head attention, convolution module, feed-forward) of
//    width 1024 → "encoder" [1, 1024, T/8], "encoder_length";
//  - Decoder: an embedding of 8193 tokens (the blank last, embedded as zeros) and a 2-layer LSTM
//    of 640 → "decoder" [1, 640, 1], "h_out", "c_out" [2, 1, 640];
//  - JointDecision: encoder and decoder projections to 640, ReLU, 640 → 8193 token and 5 duration
//    logits → "token_id", "token_prob", "duration" [1, 1, 1].
// Weights are drawn from a seeded generator of our own, so a seed gives the same set everywhere.
// The blank's bias is set so that about one frame in four of speech-like audio emits a token.
struct AsrNetworkModels {
    enum class Precision {
        float32,  // every model in float32; matrix products on OpenBLAS ("threads": "blas")
        int8,     // the Encoder's linear layers quantised to int8 per output channel, activations
                  // quantised on the fly; libtorch's pool does the work ("threads": "torch")
    };

    AsrNetworkShape shape;
    Precision precision = Precision::float32;
    std::uint64_t seed = 1;
    // Every model's thread preference instead of the precision's (Encoder "blas" for float32 and
    // "torch" for int8, the others "blas").
    std::optional<platform::ThreadingPreference> threading;

    // Writes the four "*.mlmodelc" folders and "parakeet_vocab.json" into `folder`.
    void write(const std::filesystem::path& folder) const;
};

}  // namespace testsupport
