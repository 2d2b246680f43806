#include "RarivOredu/vad/silero/SileroVadNetwork.h"

#include <cstring>
#include <map>

#include "RarivOredu/network/ScriptModuleSource.h"

namespace rarivoredu {

using platform::arrayFeature;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

// The transpose of a [rows, columns] array (or of one whose trailing dimensions are 1).
MLMultiArrayPtr transposed(const MLMultiArray& matrix, std::int64_t rows, std::int64_t columns) {
    auto result = MLMultiArray::create({columns, rows}, MLMultiArrayDataType::float32);
    const float* from = matrix.data<float>();
    float* to = result->data<float>();
    for (std::int64_t r = 0; r < rows; ++r) {
        for (std::int64_t c = 0; c < columns; ++c) to[c * rows + r] = from[r * columns + c];
    }
    return result;
}

MLMultiArrayPtr sum(const MLMultiArray& a, const MLMultiArray& b) {
    auto result = MLMultiArray::create(a.shape(), MLMultiArrayDataType::float32);
    for (std::int64_t i = 0; i < a.count(); ++i) result->data<float>()[i] = a.data<float>()[i] + b.data<float>()[i];
    return result;
}

}  // namespace

platform::MLModelDescription SileroVadNetwork::description() {
    platform::MLModelDescription description;
    description.inputs = {arrayFeature("audio_input", {1, 4160}), arrayFeature("hidden_state", {1, 128}),
                          arrayFeature("cell_state", {1, 128})};
    description.outputs = {arrayFeature("vad_output", {1, 1}), arrayFeature("new_hidden_state", {1, 128}),
                           arrayFeature("new_cell_state", {1, 128}), arrayFeature("step_probabilities", {1, steps})};
    description.metadata = {{"source", "Silero VAD v6.2 (MIT licence), 16 kHz network"}};
    return description;
}

const std::string& SileroVadNetwork::torchScriptSource() {
    static const std::string source = R"(
def forward(self, audio_input: Tensor, hidden_state: Tensor, cell_state: Tensor) -> Dict[str, Tensor]:
    frames = audio_input.reshape(1, 4160).unfold(1, 576, 512).reshape(8, 1, 576)
    padded = torch.cat([frames, frames.flip([2])[:, :, 1:65]], 2)
    spectrum = torch.conv1d(padded, self.stft_basis, None, [128])
    real = spectrum[:, :129]
    imaginary = spectrum[:, 129:]
    x = torch.sqrt(real * real + imaginary * imaginary)
    x = torch.relu(torch.conv1d(x, self.conv0_weight, self.conv0_bias, [1], [1]))
    x = torch.relu(torch.conv1d(x, self.conv1_weight, self.conv1_bias, [2], [1]))
    x = torch.relu(torch.conv1d(x, self.conv2_weight, self.conv2_bias, [2], [1]))
    x = torch.relu(torch.conv1d(x, self.conv3_weight, self.conv3_bias, [1], [1]))
    gates_in = torch.addmm(self.lstm_bias, x.reshape(8, 128), self.lstm_input_weight)
    h = hidden_state.reshape(1, 128)
    c = cell_state.reshape(1, 128)
    hs = []
    for k in range(8):
        gates = torch.addmm(gates_in[k:k + 1], h, self.lstm_hidden_weight)
        i = torch.sigmoid(gates[:, 0:128])
        f = torch.sigmoid(gates[:, 128:256])
        g = torch.tanh(gates[:, 256:384])
        o = torch.sigmoid(gates[:, 384:512])
        c = f * c + i * g
        h = o * torch.tanh(c)
        hs.append(h)
    hidden = torch.relu(torch.cat(hs, 0))
    steps = torch.sigmoid(torch.addmm(self.output_bias, hidden, self.output_weight)).reshape(1, 8)
    return {"vad_output": steps.amax(1, True), "new_hidden_state": h, "new_cell_state": c, "step_probabilities": steps}
)";
    return source;
}

const SileroVadNetwork::Layout& SileroVadNetwork::layout() {
    static const Layout tensors{
        {"stft.forward_basis_buffer", {258, 1, 256}},
        {"encoder.0.reparam_conv.weight", {128, 129, 3}},
        {"encoder.0.reparam_conv.bias", {128}},
        {"encoder.1.reparam_conv.weight", {64, 128, 3}},
        {"encoder.1.reparam_conv.bias", {64}},
        {"encoder.2.reparam_conv.weight", {64, 64, 3}},
        {"encoder.2.reparam_conv.bias", {64}},
        {"encoder.3.reparam_conv.weight", {128, 64, 3}},
        {"encoder.3.reparam_conv.bias", {128}},
        {"decoder.rnn.weight_ih", {512, 128}},
        {"decoder.rnn.weight_hh", {512, 128}},
        {"decoder.rnn.bias_ih", {512}},
        {"decoder.rnn.bias_hh", {512}},
        {"decoder.decoder.2.weight", {1, 128, 1}},
        {"decoder.decoder.2.bias", {1}},
    };
    return tensors;
}

void SileroVadNetwork::writeBundle(const StateDict& weights, const std::filesystem::path& folder) {
    std::map<std::string, MLMultiArrayPtr> t;
    for (const auto& [name, shape] : layout()) t[name] = weights.require(name, shape);
    ScriptModuleSource module;
    module.append(torchScriptSource());
    std::map<std::string, MLMultiArrayPtr> buffers{
        {"stft_basis", t.at("stft.forward_basis_buffer")},
        {"lstm_input_weight", transposed(*t.at("decoder.rnn.weight_ih"), 512, 128)},
        {"lstm_hidden_weight", transposed(*t.at("decoder.rnn.weight_hh"), 512, 128)},
        {"lstm_bias", sum(*t.at("decoder.rnn.bias_ih"), *t.at("decoder.rnn.bias_hh"))},
        {"output_weight", transposed(*t.at("decoder.decoder.2.weight"), 1, 128)},
        {"output_bias", t.at("decoder.decoder.2.bias")},
    };
    for (int layer = 0; layer < 4; ++layer) {
        const std::string prefix = "encoder." + std::to_string(layer) + ".reparam_conv.";
        buffers["conv" + std::to_string(layer) + "_weight"] = t.at(prefix + "weight");
        buffers["conv" + std::to_string(layer) + "_bias"] = t.at(prefix + "bias");
    }
    for (auto& [name, tensor] : buffers) module.tensor(name, std::move(tensor));
    std::move(module).writeBundle(folder, description(), platform::ThreadingPreference::blasWide);
}

}  // namespace rarivoredu
