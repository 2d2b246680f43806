#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/ThreadingPreference.h"
#include "RarivOredu/asr/parakeet/ParakeetConfig.h"

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

// A recognition model set with the real network and seeded random weights: a state dict with
// the key names and shapes of the public checkpoints, filled from a seeded generator of our own
// (the same numbers on every machine), turned into bundles by the library's network builder
// (rarivoredu::ParakeetNetwork), as an imported checkpoint is. The filterbank and window are the
// checkpoints' (Slaney mel scale and area normalisation, symmetric Hann); batch norm has unit
// statistics; the pieces are made-up syllables. The blank's bias is set so that about one frame in
// four of speech-like audio emits a token.
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

    // The configuration of the shape: the recogniser's widths, 8192 pieces.
    rarivoredu::ParakeetConfig config() const;
    // The random state dict, before the blank's calibration.
    std::map<std::string, platform::MLMultiArrayPtr> stateDict() const;

    // Writes the four "*.mlmodelc" folders and "parakeet_vocab.json" into `folder`.
    void write(const std::filesystem::path& folder) const;
};

}  // namespace testsupport
