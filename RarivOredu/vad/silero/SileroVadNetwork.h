#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "Platform/ml/MLModelDescription.h"
#include "RarivOredu/checkpoint/StateDict.h"

namespace rarivoredu {

// The Silero voice activity network as the compiled model "silero-vad-unified-256ms-v6.0.0":
// one prediction covers a 256 ms chunk as eight steps of the network.
//
// Inputs: "audio_input" [1, 4160] (64 samples of context, then 4096 new ones), "hidden_state"
// and "cell_state" [1, 128]. Step k (0–7) reads samples 512k … 512k + 575, so the first step's
// context is the 64 given samples. Outputs: "vad_output" [1, 1], the largest of the eight step
// probabilities; "new_hidden_state", "new_cell_state" [1, 128] after the last step; and
// "step_probabilities" [1, 8], one probability per 32 ms.
//
// A step: the 576 samples reflect-padded by 64 on the right, a 258×256 Fourier convolution of
// stride 128 (four frames), the magnitudes of its 129 frequencies, four 3-tap convolutions with
// ReLU (strides 1, 2, 2, 1), the LSTM cell, ReLU, a 1×1 convolution and the sigmoid. Everything
// before the cell runs over the eight steps at once; only the cell runs step by step.
class SileroVadNetwork {
public:
    SileroVadNetwork() = delete;

    static constexpr int steps = 8;
    static constexpr int stepSamples = 512;

    using Layout = std::vector<std::pair<std::string, platform::MLMultiArray::Shape>>;
    // The fifteen tensors of the 16 kHz network, by the names of Silero's export, in this order:
    //   stft.forward_basis_buffer [258, 1, 256]       the real and imaginary Fourier rows, 129 each
    //   encoder.0–3.reparam_conv.weight/.bias         3-tap convolutions 129→128, 128→64, 64→64, 64→128
    //   decoder.rnn.weight_ih/_hh [512, 128], .bias_ih/_hh [512]   an LSTM cell, gates i, f, g, o
    //   decoder.decoder.2.weight [1, 128, 1], .bias [1]            the output's 1×1 convolution
    static const Layout& layout();

    static platform::MLModelDescription description();
    // The TorchScript module's source; writeBundle gives it its weights as buffers.
    static const std::string& torchScriptSource();

    // Writes the compiled-model folder (its description and model.pt) from the tensors of
    // layout(). Throws CheckpointError for a tensor missing or of another shape, and what the model
    // runtime throws (NSError) when the module cannot be built or written.
    static void writeBundle(const StateDict& weights, const std::filesystem::path& folder);
};

}  // namespace rarivoredu
