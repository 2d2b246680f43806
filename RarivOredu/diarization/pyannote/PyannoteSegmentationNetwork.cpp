#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

using platform::arrayFeature;
using platform::MLModelDescription;
using platform::MLMultiArrayDataType;

namespace {

std::string num(std::int64_t value) { return std::to_string(value); }

}  // namespace

PyannoteSegmentationNetwork::PyannoteSegmentationNetwork(const StateDict& w) {
    auto take = [&](const std::string& buffer, const std::string& name, std::vector<std::int64_t> shape) {
        module_.tensor(buffer, w.require(name, shape));
    };
    const auto lowShape = w.shape("sincnet.conv1d.0.filterbank.low_hz_");
    const auto windowShape = w.shape("sincnet.conv1d.0.filterbank.window_");
    if (lowShape.size() != 2 || windowShape.size() != 1) {
        throw CheckpointError::wrongShape("sincnet.conv1d.0.filterbank.low_hz_", {40, 1}, lowShape);
    }
    const std::int64_t pairs = lowShape[0];
    const std::int64_t half = windowShape[0];
    widths_.filters = static_cast<int>(2 * pairs);
    widths_.kernel = static_cast<int>(2 * half + 1);

    take("wav_norm_w", "sincnet.wav_norm1d.weight", {1});
    take("wav_norm_b", "sincnet.wav_norm1d.bias", {1});
    take("sinc_low", "sincnet.conv1d.0.filterbank.low_hz_", {pairs, 1});
    take("sinc_band", "sincnet.conv1d.0.filterbank.band_hz_", {pairs, 1});
    take("sinc_window", "sincnet.conv1d.0.filterbank.window_", {half});
    take("sinc_n", "sincnet.conv1d.0.filterbank.n_", {1, half});

    const auto conv1 = w.shape("sincnet.conv1d.1.weight");
    if (conv1.size() != 3) throw CheckpointError::wrongShape("sincnet.conv1d.1.weight", {60, widths_.filters, 5}, conv1);
    widths_.convolution1 = static_cast<int>(conv1[0]);
    widths_.convolutionKernel = static_cast<int>(conv1[2]);
    const auto conv2 = w.shape("sincnet.conv1d.2.weight");
    if (conv2.size() != 3) throw CheckpointError::wrongShape("sincnet.conv1d.2.weight", {60, conv1[0], 5}, conv2);
    widths_.convolution2 = static_cast<int>(conv2[0]);
    const std::int64_t k = widths_.convolutionKernel;
    take("conv1_w", "sincnet.conv1d.1.weight", {widths_.convolution1, widths_.filters, k});
    take("conv1_b", "sincnet.conv1d.1.bias", {widths_.convolution1});
    take("conv2_w", "sincnet.conv1d.2.weight", {widths_.convolution2, widths_.convolution1, k});
    take("conv2_b", "sincnet.conv1d.2.bias", {widths_.convolution2});
    const std::int64_t normWidths[] = {widths_.filters, widths_.convolution1, widths_.convolution2};
    for (int i = 0; i < 3; ++i) {
        take("norm" + num(i) + "_w", "sincnet.norm1d." + num(i) + ".weight", {normWidths[i]});
        take("norm" + num(i) + "_b", "sincnet.norm1d." + num(i) + ".bias", {normWidths[i]});
    }

    const auto hh = w.shape("lstm.weight_hh_l0");
    if (hh.size() != 2) throw CheckpointError::wrongShape("lstm.weight_hh_l0", {512, 128}, hh);
    widths_.lstmHidden = static_cast<int>(hh[1]);
    widths_.lstmLayers = w.countNumbered("lstm.weight_ih_l", "");
    widths_.bidirectional = w.contains("lstm.weight_ih_l0_reverse");
    const std::int64_t hidden = widths_.lstmHidden;
    const std::int64_t directions = widths_.bidirectional ? 2 : 1;
    for (int layer = 0; layer < widths_.lstmLayers; ++layer) {
        const std::int64_t in = layer == 0 ? widths_.convolution2 : directions * hidden;
        for (const std::string suffix : {"", "_reverse"}) {
            if (suffix == "_reverse" && !widths_.bidirectional) continue;
            const std::string name = num(layer) + suffix;
            const std::string buffer = "lstm" + num(layer) + (suffix.empty() ? "f" : "r");
            take(buffer + "_wih", "lstm.weight_ih_l" + name, {4 * hidden, in});
            take(buffer + "_whh", "lstm.weight_hh_l" + name, {4 * hidden, hidden});
            take(buffer + "_bih", "lstm.bias_ih_l" + name, {4 * hidden});
            take(buffer + "_bhh", "lstm.bias_hh_l" + name, {4 * hidden});
        }
    }

    std::int64_t in = directions * hidden;
    const int linearLayers = w.countNumbered("linear.", ".weight");
    for (int i = 0; i < linearLayers; ++i) {
        const auto shape = w.shape("linear." + num(i) + ".weight");
        if (shape.size() != 2) throw CheckpointError::wrongShape("linear." + num(i) + ".weight", {128, in}, shape);
        take("linear" + num(i) + "_w", "linear." + num(i) + ".weight", {shape[0], in});
        take("linear" + num(i) + "_b", "linear." + num(i) + ".bias", {shape[0]});
        widths_.linear.push_back(static_cast<int>(shape[0]));
        in = shape[0];
    }
    take("classifier_w", "classifier.weight", {classes, in});
    take("classifier_b", "classifier.bias", {classes});
    module_.append(forwardSource());
}

std::string PyannoteSegmentationNetwork::forwardSource() const {
    const Widths& s = widths_;
    std::string src;
    auto line = [&src](const std::string& text) { src += "    " + text + "\n"; };
    src += "def forward(self, audio: Tensor) -> Dict[str, Tensor]:\n";
    line("x = torch.instance_norm(audio, self.wav_norm_w, self.wav_norm_b, None, None, True, 0.1, 1e-05, False)");
    // Band-pass filters from their learned low cut-offs and bands (at least 50 Hz each, at most
    // Nyquist): windowed differences of two sincs, the cosine halves then the sine halves.
    line("low = 50.0 + torch.abs(self.sinc_low)");
    line("high = torch.clamp(low + 50.0 + torch.abs(self.sinc_band), 50.0, 8000.0)");
    line("band = (high - low)[:, 0]");
    line("ft_low = torch.matmul(low, self.sinc_n)");
    line("ft_high = torch.matmul(high, self.sinc_n)");
    line("scale = 2.0 * band.view(-1, 1)");
    line("cos_left = ((torch.sin(ft_high) - torch.sin(ft_low)) / (self.sinc_n / 2.0)) * self.sinc_window");
    line("cos_half = torch.cat([cos_left, scale, torch.flip(cos_left, [1])], 1) / scale");
    line("sin_left = ((torch.cos(ft_low) - torch.cos(ft_high)) / (self.sinc_n / 2.0)) * self.sinc_window");
    line("sin_half = torch.cat([sin_left, torch.zeros_like(scale), -torch.flip(sin_left, [1])], 1) / scale");
    line("filters = torch.cat([cos_half, sin_half], 0).view(" + num(s.filters) + ", 1, " + num(s.kernel) + ")");
    line("x = torch.abs(torch.conv1d(x, filters, None, [" + num(sincStride) + "]))");
    auto poolNormActivate = [&](int i) {
        line("x = torch.max_pool1d(x, [3], [3], [0], [1], False)");
        line("x = torch.instance_norm(x, self.norm" + num(i) + "_w, self.norm" + num(i) +
             "_b, None, None, True, 0.1, 1e-05, False)");
        line("x = torch.leaky_relu(x, 0.01)");
    };
    poolNormActivate(0);
    line("x = torch.conv1d(x, self.conv1_w, self.conv1_b)");
    poolNormActivate(1);
    line("x = torch.conv1d(x, self.conv2_w, self.conv2_b)");
    poolNormActivate(2);
    line("x = x.transpose(1, 2)");
    const int directions = s.bidirectional ? 2 : 1;
    line("h0 = torch.zeros([" + num(directions * s.lstmLayers) + ", x.size(0), " + num(s.lstmHidden) +
         "], dtype=x.dtype)");
    std::string params;
    for (int layer = 0; layer < s.lstmLayers; ++layer) {
        for (int d = 0; d < directions; ++d) {
            const std::string b = "self.lstm" + num(layer) + (d == 0 ? "f" : "r");
            if (!params.empty()) params += ", ";
            params += b + "_wih, " + b + "_whh, " + b + "_bih, " + b + "_bhh";
        }
    }
    line("y = torch.lstm(x, [h0, h0], [" + params + "], True, " + num(s.lstmLayers) + ", 0.0, False, " +
         (s.bidirectional ? "True" : "False") + ", True)");
    line("x = y[0]");
    for (std::size_t i = 0; i < s.linear.size(); ++i) {
        line("x = torch.leaky_relu(torch.linear(x, self.linear" + num(static_cast<std::int64_t>(i)) + "_w, self.linear" +
             num(static_cast<std::int64_t>(i)) + "_b), 0.01)");
    }
    line("x = torch.log_softmax(torch.linear(x, self.classifier_w, self.classifier_b), -1)");
    line("return {\"segments\": x}");
    return src;
}

MLModelDescription PyannoteSegmentationNetwork::description() {
    MLModelDescription d;
    d.inputs = {arrayFeature("audio", {1, 1, chunkSamples})};
    d.outputs = {arrayFeature("segments", {1, frames, classes})};
    return d;
}

// The sinc filters and convolutions over 160 000 samples outweigh the small LSTM's matrix products,
// so libtorch's pool is the wide one, as for the embedding network beside it. Random weights of the
// real size, median of four interleaved rounds at load 21-26 on 8 cores: a chunk's segmentation
// 1.06 s -> 0.76 s, segmentation and two speakers' embeddings 1.96 s -> 1.24 s.
void PyannoteSegmentationNetwork::writeBundle(const std::filesystem::path& folder) const {
    ScriptModuleSource(module_).writeBundle(folder, description(), platform::ThreadingPreference::torchWide);
}

}  // namespace rarivoredu
