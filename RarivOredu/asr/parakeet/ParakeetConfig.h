#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RarivOredu/asr/AsrModelVersion.h"

namespace rarivoredu {

// The shape of a Parakeet TDT network, read from a checkpoint's "model_config.yaml". Only the
// family the network builder implements is accepted: a 16 kHz log-mel front end with 128
// per-feature normalised bins, a conformer encoder with 8x depthwise-separable subsampling and
// relative-position attention, a 2-layer LSTM prediction network and a TDT joint with the
// durations 0…4. Widths, depth, heads and the vocabulary are free within the family's ranges
// below (the 0.6B networks have 24 layers of width 1024, 8 heads, 8192 pieces).
struct ParakeetConfig {
    static constexpr int maxLayers = 128;
    static constexpr int maxWidth = 8192;  // d_model, the subsampling channels, prediction and joint
    static constexpr int maxHeads = 64;
    static constexpr int maxFeedForwardWidth = 32768;
    static constexpr int maxConvolutionKernel = 255;
    static constexpr std::size_t maxVocabulary = 65536;

    static constexpr int sampleRate = 16000;
    static constexpr int windowLength = 400;
    static constexpr int hopLength = 160;
    static constexpr int fftSize = 512;
    static constexpr int melBins = 128;
    static constexpr int subsamplingFactor = 8;
    static constexpr int predictionLayers = 2;

    int layers = 24;
    int modelWidth = 1024;  // d_model
    int heads = 8;
    int feedForwardWidth = 4096;
    int subsamplingChannels = 256;
    int convolutionKernel = 9;
    int predictionWidth = 640;
    int jointWidth = 640;
    std::vector<int> durations{0, 1, 2, 3, 4};
    // The tokenizer's pieces, ids 0…N-1; the blank is id N.
    std::vector<std::string> vocabulary;

    int blankId() const noexcept { return static_cast<int>(vocabulary.size()); }
    int tokenCount() const noexcept { return blankId() + 1; }                                   // with the blank
    int jointOutputs() const noexcept { return tokenCount() + static_cast<int>(durations.size()); }
    int headWidth() const noexcept { return modelWidth / heads; }
    // v2 has 1024 pieces; every other vocabulary is taken as v3's.
    AsrModelVersion version() const noexcept;

    // The real checkpoints' shape with a vocabulary of `pieces` placeholder pieces.
    static ParakeetConfig realSize(int pieces = 8192);

    // Parses and validates a model configuration. Throws AsrModelsError (loadingFailed) naming
    // the key with the expected and the found value ("encoder.subsampling: expected dw_striding,
    // found striding"), or what is wrong with the YAML.
    static ParakeetConfig fromYaml(const std::string& text);

    // Throws AsrModelsError when a width or count is out of range or the widths do not fit together.
    void validate() const;
};

}  // namespace rarivoredu
