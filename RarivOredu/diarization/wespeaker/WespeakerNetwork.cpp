#include "RarivOredu/diarization/wespeaker/WespeakerNetwork.h"

#include <cmath>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/diarization/wespeaker/KaldiFilterbank.h"

namespace rarivoredu {

using platform::arrayFeature;
using platform::MLModelDescription;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

std::string num(std::int64_t value) { return std::to_string(value); }

// A convolution without bias followed by an inference batch norm, as one convolution with bias.
struct FoldedConvolution {
    MLMultiArrayPtr weight;
    MLMultiArrayPtr bias;
};

FoldedConvolution fold(const StateDict& w, const std::string& conv, const std::string& norm,
                       std::vector<std::int64_t> shape) {
    const std::int64_t out = shape[0];
    const auto weight = w.require(conv + ".weight", shape);
    const auto gamma = w.require(norm + ".weight", {out});
    const auto beta = w.require(norm + ".bias", {out});
    const auto mean = w.require(norm + ".running_mean", {out});
    const auto variance = w.require(norm + ".running_var", {out});
    FoldedConvolution folded{MLMultiArray::create(shape, MLMultiArrayDataType::float32),
                             MLMultiArray::create({out}, MLMultiArrayDataType::float32)};
    const std::int64_t per = weight->count() / out;
    for (std::int64_t o = 0; o < out; ++o) {
        const double scale = gamma->valueAtOffset(o) / std::sqrt(variance->valueAtOffset(o) + 1e-5);
        for (std::int64_t i = 0; i < per; ++i) {
            folded.weight->setValueAtOffset(o * per + i, weight->valueAtOffset(o * per + i) * scale);
        }
        folded.bias->setValueAtOffset(o, beta->valueAtOffset(o) - mean->valueAtOffset(o) * scale);
    }
    return folded;
}

}  // namespace

WespeakerNetwork::WespeakerNetwork(const StateDict& w) {
    const auto stem = w.shape("resnet.conv1.weight");
    if (stem.size() != 4 || stem[1] != 1 || stem[2] != 3 || stem[3] != 3) {
        throw CheckpointError::wrongShape("resnet.conv1.weight", {32, 1, 3, 3}, stem);
    }
    widths_.channels = static_cast<int>(stem[0]);
    std::string src = "def resnet(self, x: Tensor) -> Tensor:\n";
    auto line = [&src](const std::string& text) { src += "    " + text + "\n"; };
    auto conv = [&](const std::string& buffer, const std::string& convName, const std::string& normName,
                    std::vector<std::int64_t> shape) {
        FoldedConvolution folded = fold(w, convName, normName, std::move(shape));
        module_.tensor(buffer + "_w", folded.weight);
        module_.tensor(buffer + "_b", folded.bias);
        return "self." + buffer + "_w.contiguous(memory_format=2), self." + buffer + "_b";
    };
    const std::int64_t c = widths_.channels;
    // Channels last (memory format 2): the convolutions then run without reordering their input.
    line("x = x.contiguous(memory_format=2)");
    line("x = torch.relu(torch.conv2d(x, " + conv("stem", "resnet.conv1", "resnet.bn1", {c, 1, 3, 3}) +
         ", [1, 1], [1, 1], [1, 1], 1))");
    std::int64_t in = c;
    int frequency = KaldiFilterbank::melBins;
    for (int stage = 1; stage <= 4; ++stage) {
        const std::string layer = "resnet.layer" + num(stage) + ".";
        const int count = w.countNumbered(layer, ".conv1.weight");
        if (count == 0) throw CheckpointError::missingTensor(layer + "0.conv1.weight");
        widths_.blocks.push_back(count);
        const std::int64_t planes = c << (stage - 1);
        for (int block = 0; block < count; ++block) {
            const std::string name = layer + num(block);
            const std::string buffer = "l" + num(stage) + "b" + num(block);
            const int stride = (block == 0 && stage > 1) ? 2 : 1;
            const std::string s = "[" + num(stride) + ", " + num(stride) + "]";
            line("y = torch.relu(torch.conv2d(x, " + conv(buffer + "c1", name + ".conv1", name + ".bn1", {planes, in, 3, 3}) +
                 ", " + s + ", [1, 1], [1, 1], 1))");
            line("y = torch.conv2d(y, " + conv(buffer + "c2", name + ".conv2", name + ".bn2", {planes, planes, 3, 3}) +
                 ", [1, 1], [1, 1], [1, 1], 1)");
            if (stride != 1 || in != planes) {
                line("x = torch.conv2d(x, " +
                     conv(buffer + "sc", name + ".shortcut.0", name + ".shortcut.1", {planes, in, 1, 1}) + ", " + s +
                     ", [0, 0], [1, 1], 1)");
            }
            line("x = torch.relu(y + x)");
            in = planes;
        }
        if (stage > 1) frequency = (frequency - 1) / 2 + 1;
    }
    line("return x");

    widths_.pooledFeatures = static_cast<int>(2 * in * frequency);
    module_.tensor("seg1_w", w.require("resnet.seg_1.weight", {embeddingSize, widths_.pooledFeatures}));
    module_.tensor("seg1_b", w.require("resnet.seg_1.bias", {embeddingSize}));
    module_.tensor("fbank_window", KaldiFilterbank::window());
    module_.tensor("fbank_mel", KaldiFilterbank::melBanks());
    module_.append(moduleSource(src));
}

std::string WespeakerNetwork::moduleSource(const std::string& resnetSource) const {
    std::string src = KaldiFilterbank::methodSource("fbank_window", "fbank_mel") + "\n" + resnetSource + "\n";
    src +=
        "def forward(self, waveform: Tensor, mask: Tensor) -> Dict[str, Tensor]:\n"
        "    embeddings: List[Tensor] = []\n"
        "    for i in range(waveform.size(0)):\n"
        "        weights = mask[i]\n"
        "        if not bool(torch.any(weights != 0.0)):\n"
        "            embeddings.append(self.seg1_b)\n"
        "            continue\n"
        "        features = self.fbank(waveform[i] * 32768.0)\n"
        "        features = features - torch.mean(features, [0], True)\n"
        "        x = self.resnet(features.t().unsqueeze(0).unsqueeze(0))\n"
        "        x = x.reshape(1, x.size(1) * x.size(2), x.size(3))\n"
        "        w = torch.upsample_nearest1d(weights.view(1, 1, -1), [x.size(2)], None).view(1, 1, -1)\n"
        "        v1 = torch.sum(w, [2]) + 1e-08\n"
        "        mean = torch.sum(x * w, [2]) / v1\n"
        "        dx2 = torch.square(x - mean.unsqueeze(2))\n"
        "        v2 = torch.sum(torch.square(w), [2])\n"
        "        variance = torch.sum(dx2 * w, [2]) / (v1 - v2 / v1 + 1e-08)\n"
        "        stats = torch.cat([mean, torch.sqrt(variance)], 1)\n"
        "        embeddings.append(torch.linear(stats, self.seg1_w, self.seg1_b)[0])\n"
        "    return {\"embedding\": torch.stack(embeddings, 0)}\n";
    return src;
}

MLModelDescription WespeakerNetwork::description() {
    MLModelDescription d;
    d.inputs = {arrayFeature("waveform", {rows, chunkSamples}), arrayFeature("mask", {rows, maskFrames})};
    d.outputs = {arrayFeature("embedding", {rows, embeddingSize})};
    return d;
}

void WespeakerNetwork::writeBundle(const std::filesystem::path& folder) const {
    ScriptModuleSource(module_).writeBundle(folder, description(), platform::ThreadingPreference::torchWide);
}

}  // namespace rarivoredu
