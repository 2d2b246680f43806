#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/checkpoint/OnnxModel.h"

namespace rarivoredu {

// The fifteen tensors of the 16 kHz Silero voice activity network, as its ONNX export holds them
// (in the branch of the graph's sample-rate test whose tensors have the 16 kHz shapes):
//   stft.forward_basis_buffer [258, 1, 256]       the real and imaginary Fourier rows, 129 each
//   encoder.0–3.reparam_conv.weight/.bias         3-tap convolutions 129→128, 128→64, 64→64, 64→128
//   decoder.rnn.weight_ih/_hh [512, 128], .bias_ih/_hh [512]   an LSTM cell, gates i, f, g, o
//   decoder.decoder.2.weight [1, 128, 1], .bias [1]            the output's 1×1 convolution
struct SileroVadWeights {
    using Layout = std::vector<std::pair<std::string, platform::MLMultiArray::Shape>>;

    // By the names above; each a contiguous float32 array of its shape.
    std::map<std::string, platform::MLMultiArrayPtr> tensors;

    // The names and shapes, in the order above.
    static const Layout& layout();

    // Finds the tensors in a model. A model whose graphs hold no branch with all fifteen refuses
    // with CheckpointError: missingTensor naming the first tensor missing from the branch that
    // comes closest, or wrongShape when a tensor of the name has another shape.
    static SileroVadWeights fromOnnx(const OnnxModel& model);
};

}  // namespace rarivoredu
