#include "tests/support/asr/AsrNetworkModels.h"

#include <torch/csrc/jit/frontend/resolver.h>
#include <torch/csrc/jit/frontend/sugared_value.h>
#include <torch/script.h>

#include <ATen/core/dispatch/Dispatcher.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "Platform/ml/MLModelBundle.h"

namespace testsupport {
namespace fs = std::filesystem;
using platform::MLFeatureDescription;
using platform::MLModelBundle;
using platform::MLModelDescription;
using platform::MLMultiArrayDataType;
using platform::ThreadingPreference;

namespace {

constexpr int kWidth = 1024;
constexpr int kState = 640;
constexpr int kTokens = 8193;  // the blank last
constexpr int kBlank = kTokens - 1;
constexpr int kDurations = 5;
constexpr int kMelBins = 128;
constexpr int kFftSize = 512;
constexpr int kHop = 160;
constexpr int kWindow = 400;
constexpr int kSampleRate = 16000;

// Module source sees `torch.<op>` as ATen operators and `quantized.<op>` as the quantised ones.
struct ScriptResolver : torch::jit::Resolver {
    std::shared_ptr<torch::jit::SugaredValue> resolveValue(const std::string& name, torch::jit::GraphFunction&,
                                                           const torch::jit::SourceRange&) override {
        if (name == "torch") return std::make_shared<torch::jit::BuiltinModule>("aten");
        if (name == "quantized") return std::make_shared<torch::jit::BuiltinModule>("quantized");
        return nullptr;
    }
    c10::TypePtr resolveType(const std::string&, const torch::jit::SourceRange&) override { return nullptr; }
};

// Uniform weights from splitmix64: the same numbers on every machine and libtorch build.
class WeightSource {
public:
    explicit WeightSource(std::uint64_t seed) : state_(seed) {}

    at::Tensor uniform(at::IntArrayRef shape, double bound) {
        at::Tensor t = at::empty(shape, at::kFloat);
        float* p = t.data_ptr<float>();
        const auto scale = static_cast<float>(bound / 8388608.0);  // 2^23: 24 bits to [-bound, bound)
        for (std::int64_t i = 0, n = t.numel(); i < n; ++i) {
            p[i] = static_cast<float>(static_cast<std::int64_t>(next() >> 40) - 8388608) * scale;
        }
        return t;
    }
    // Unit output variance for unit input variance.
    at::Tensor fanIn(at::IntArrayRef shape, std::int64_t inputs) { return uniform(shape, std::sqrt(3.0 / inputs)); }

private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

// Registers a module's weights under names and hands out the source expressions that use them.
// Built over a copy of a finished module, it gives the copy new weights and keeps its type, so
// that modules of one kind share their compiled code as an exported network's layers do.
class ModuleBuilder {
public:
    ModuleBuilder(const std::string& name, WeightSource& weights, bool quantised)
        : module_(name), weights_(weights), quantised_(quantised) {}
    ModuleBuilder(const torch::jit::Module& sameKind, WeightSource& weights, bool quantised)
        : module_(sameKind.deepcopy()), weights_(weights), quantised_(quantised), refill_(true) {}

    std::string tensor(const std::string& name, const at::Tensor& value) {
        if (refill_) module_.setattr(name, value);
        else module_.register_buffer(name, value);
        return "self." + name;
    }
    std::string random(const std::string& name, at::IntArrayRef shape, std::int64_t fanIn) {
        return tensor(name, weights_.fanIn(shape, fanIn));
    }
    // `input` [..., in] → [..., out]; int8 weights per output channel when the module is quantised.
    std::string linear(const std::string& name, const std::string& input, std::int64_t out, std::int64_t in,
                       bool bias = true) {
        at::Tensor weight = weights_.fanIn({out, in}, in);
        std::optional<at::Tensor> b;
        if (bias) b = weights_.uniform({out}, 0.02);
        return linear(name, input, weight, b);
    }
    std::string linear(const std::string& name, const std::string& input, const at::Tensor& weight,
                       const std::optional<at::Tensor>& bias) {
        if (!quantised_) {
            return "torch.linear(" + input + ", " + tensor(name + "_w", weight) +
                   (bias ? ", " + tensor(name + "_b", *bias) : std::string()) + ")";
        }
        const std::int64_t out = weight.size(0);
        const at::Tensor scales = (weight.abs().amax(1) / 127.0).clamp_min(1e-8).to(at::kDouble);
        const at::Tensor zeroPoints = at::zeros({out}, at::kLong);
        const at::Tensor q = at::quantize_per_channel(weight, scales, zeroPoints, 0, at::kQInt8);
        static const auto prepack = c10::Dispatcher::singleton().findSchemaOrThrow("quantized::linear_prepack", "");
        std::vector<c10::IValue> stack{c10::IValue(q), bias ? c10::IValue(*bias) : c10::IValue()};
        prepack.callBoxed(&stack);
        if (refill_) module_.setattr(name, stack[0]);
        else module_.register_attribute(name, stack[0].type(), stack[0]);
        return "quantized.linear_dynamic(" + input + ", self." + name + ", False)";
    }
    void submodule(const std::string& name, const torch::jit::Module& child) { module_.register_module(name, child); }

    torch::jit::Module finish(const std::string& source) {
        if (!refill_) module_.define(source, std::make_shared<ScriptResolver>());
        module_.eval();
        return module_;
    }

private:
    torch::jit::Module module_;
    WeightSource& weights_;
    bool quantised_;
    bool refill_ = false;
};

std::string layerNorm(ModuleBuilder& m, const std::string& name, const std::string& input) {
    const std::string w = m.tensor(name + "_w", at::ones({kWidth}));
    const std::string b = m.tensor(name + "_b", at::zeros({kWidth}));
    return "torch.layer_norm(" + input + ", [" + std::to_string(kWidth) + "], " + w + ", " + b + ", 1e-5)";
}

// The first layer, or one more of the first one's kind.
torch::jit::Module conformerLayer(const torch::jit::Module* first, const AsrNetworkShape& s, WeightSource& weights,
                                  bool quantised) {
    ModuleBuilder m = first ? ModuleBuilder(*first, weights, quantised)
                            : ModuleBuilder("ConformerLayer", weights, quantised);
    const int ff = s.feedForward;
    const int dh = kWidth / s.heads;
    const std::string H = std::to_string(s.heads), Dh = std::to_string(dh), D = std::to_string(kWidth);
    std::string src = "def forward(self, x: Tensor, pos: Tensor, keep: Tensor, pad: Tensor) -> Tensor:\n";
    auto line = [&src](const std::string& text) { src += "    " + text + "\n"; };
    auto feedForward = [&](const std::string& n) {
        line("y = " + layerNorm(m, n + "_ln", "x"));
        line("y = torch.silu(" + m.linear(n + "_up", "y", ff, kWidth) + ")");
        line("x = x + 0.5 * " + m.linear(n + "_down", "y", kWidth, ff));
    };
    feedForward("ff1");

    line("y = " + layerNorm(m, "att_ln", "x"));
    line("T = y.size(1)");
    line("q = " + m.linear("att_q", "y", kWidth, kWidth) + ".view(1, T, " + H + ", " + Dh + ").transpose(1, 2)");
    line("k = " + m.linear("att_k", "y", kWidth, kWidth) + ".view(1, T, " + H + ", " + Dh + ").transpose(1, 2)");
    line("v = " + m.linear("att_v", "y", kWidth, kWidth) + ".view(1, T, " + H + ", " + Dh + ").transpose(1, 2)");
    line("p = " + m.linear("att_pos", "pos", kWidth, kWidth, false) + ".view(1, 2 * T - 1, " + H + ", " + Dh +
         ").transpose(1, 2)");
    const std::string u = m.tensor("att_bias_u", weights.uniform({1, s.heads, 1, dh}, 0.1));
    const std::string v = m.tensor("att_bias_v", weights.uniform({1, s.heads, 1, dh}, 0.1));
    line("ac = torch.matmul(q + " + u + ", k.transpose(2, 3))");
    line("bd = torch.matmul(q + " + v + ", p.transpose(2, 3))");
    // Relative shift: row i takes the positions i - j for j = 0 … T - 1.
    line("bd = torch.constant_pad_nd(bd, [1, 0], 0.0).view(1, " + H + ", 2 * T, T)");
    line("bd = bd.narrow(2, 1, 2 * T - 1).reshape(1, " + H + ", T, 2 * T - 1).narrow(3, 0, T)");
    line("scores = (ac + bd) * " + std::to_string(1.0 / std::sqrt(static_cast<double>(dh))));
    line("attention = torch.softmax(scores.masked_fill(pad, -10000.0), -1).masked_fill(pad, 0.0)");
    line("y = torch.matmul(attention, v).transpose(1, 2).reshape(1, T, " + D + ")");
    line("x = x + " + m.linear("att_out", "y", kWidth, kWidth));

    line("y = " + layerNorm(m, "conv_ln", "x"));
    line("y = torch.glu(" + m.linear("conv_pw1", "y", 2 * kWidth, kWidth) + ", -1) * keep");
    const std::string dw = m.random("conv_dw_w", {kWidth, 1, s.convolutionKernel}, s.convolutionKernel);
    const std::string dwb = m.tensor("conv_dw_b", at::zeros({kWidth}));
    line("y = torch.conv1d(y.transpose(1, 2), " + dw + ", " + dwb + ", [1], [" +
         std::to_string(s.convolutionKernel / 2) + "], [1], " + D + ")");
    line("y = torch.silu(y).transpose(1, 2)");
    line("x = x + " + m.linear("conv_pw2", "y", kWidth, kWidth));

    feedForward("ff2");
    line("return " + layerNorm(m, "out_ln", "x"));
    return m.finish(src);
}

torch::jit::Module encoder(const AsrNetworkShape& s, WeightSource& weights, bool quantised) {
    ModuleBuilder m("Encoder", weights, quantised);
    const int c = s.subsamplingChannels;
    const std::string C = std::to_string(c);
    std::string src = "def forward(self, mel: Tensor, mel_length: Tensor) -> Dict[str, Tensor]:\n";
    auto line = [&src](const std::string& text) { src += "    " + text + "\n"; };
    // [1, 128, T] → [1, 1, T, 128]; three stride-2 convolutions, the last two depthwise and
    // pointwise (pointwise written as linear layers over the channels).
    line("x = mel.float().transpose(1, 2).unsqueeze(1)");
    line("x = torch.relu(torch.conv2d(x, " + m.random("sub0_w", {c, 1, 3, 3}, 9) + ", " +
         m.tensor("sub0_b", at::zeros({c})) + ", [2, 2], [1, 1], [1, 1], 1))");
    for (int i = 1; i <= 2; ++i) {
        const std::string n = "sub" + std::to_string(i);
        line("x = torch.conv2d(x, " + m.random(n + "_dw_w", {c, 1, 3, 3}, 9) + ", " +
             m.tensor(n + "_dw_b", at::zeros({c})) + ", [2, 2], [1, 1], [1, 1], " + C + ")");
        line("x = torch.relu(" + m.linear(n + "_pw", "x.permute(0, 2, 3, 1)", c, c) + ").permute(0, 3, 1, 2)");
    }
    const int freq = kMelBins / 8;
    line("x = x.transpose(1, 2).reshape(1, x.size(2), " + std::to_string(c * freq) + ")");
    line("x = " + m.linear("sub_out", "x", kWidth, static_cast<std::int64_t>(c) * freq));
    line("length = mel_length.long()");
    line("for i in range(3):");
    line("    length = torch.div(length - 1, 2, rounding_mode='floor') + 1");
    line("T = x.size(1)");
    line("frames = torch.arange(T).unsqueeze(0)");
    line("keep = (frames < length.unsqueeze(1)).unsqueeze(2).float()");
    line("pad = (frames >= length.unsqueeze(1)).view(1, 1, 1, T)");
    // Sinusoidal encodings of the relative positions T - 1 … -(T - 1).
    at::Tensor inverse = at::exp(at::arange(0, kWidth, 2).to(at::kFloat) * (-std::log(10000.0) / kWidth));
    line("angles = torch.arange(T - 1, -T, -1).float().unsqueeze(1) * " + m.tensor("inv_freq", inverse.unsqueeze(0)));
    line("pos = torch.stack([torch.sin(angles), torch.cos(angles)], 2).view(1, 2 * T - 1, " +
         std::to_string(kWidth) + ")");
    std::vector<torch::jit::Module> layers;
    for (int i = 0; i < s.layers; ++i) {
        const std::string n = "layer" + std::to_string(i);
        layers.push_back(conformerLayer(layers.empty() ? nullptr : &layers.front(), s, weights, quantised));
        m.submodule(n, layers.back());
        line("x = self." + n + ".forward(x, pos, keep, pad)");
    }
    line("return {'encoder': x.transpose(1, 2).contiguous(), 'encoder_length': length.int()}");
    return m.finish(src);
}

// Triangular filters on the mel scale over the one-sided spectrum.
at::Tensor melFilterbank() {
    const int bins = kFftSize / 2 + 1;
    auto mel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
    auto hz = [](double m) { return 700.0 * (std::pow(10.0, m / 2595.0) - 1.0); };
    std::vector<double> edges(kMelBins + 2);
    for (int i = 0; i < kMelBins + 2; ++i) edges[i] = hz(mel(kSampleRate / 2.0) * i / (kMelBins + 1));
    at::Tensor bank = at::zeros({kMelBins, bins});
    auto a = bank.accessor<float, 2>();
    for (int m = 0; m < kMelBins; ++m) {
        for (int k = 0; k < bins; ++k) {
            const double f = static_cast<double>(k) * kSampleRate / kFftSize;
            const double rising = (f - edges[m]) / (edges[m + 1] - edges[m]);
            const double falling = (edges[m + 2] - f) / (edges[m + 2] - edges[m + 1]);
            a[m][k] = static_cast<float>(std::max(0.0, std::min(rising, falling)));
        }
    }
    return bank;
}

torch::jit::Module preprocessor(WeightSource& weights) {
    ModuleBuilder m("Preprocessor", weights, false);
    const std::string window = m.tensor("window", at::hann_window(kWindow, false));
    const std::string bank = m.tensor("filterbank", melFilterbank());
    return m.finish(
        "def forward(self, audio_signal: Tensor, audio_length: Tensor) -> Dict[str, Tensor]:\n"
        "    x = audio_signal.float()\n"
        "    x = torch.cat([x.narrow(1, 0, 1), x.narrow(1, 1, x.size(1) - 1) - 0.97 * x.narrow(1, 0, x.size(1) - 1)], 1)\n"
        "    x = torch.constant_pad_nd(x, [256, 256], 0.0)\n"
        "    spectrum = torch.stft(x, 512, 160, 400, " + window + ", False, True, True)\n"
        "    mel = torch.log(torch.matmul(" + bank + ", spectrum.abs().pow(2.0)) + 5.96e-8)\n"
        "    mel_length = torch.div(audio_length.long(), 160, rounding_mode='floor') + 1\n"
        "    keep = (torch.arange(mel.size(2)).unsqueeze(0) < mel_length.unsqueeze(1)).unsqueeze(1).float()\n"
        "    count = keep.sum(2, keepdim=True).clamp_min(2.0)\n"
        "    mean = (mel * keep).sum(2, keepdim=True) / count\n"
        "    spread = ((((mel - mean) * keep) ** 2).sum(2, keepdim=True) / (count - 1.0)).sqrt()\n"
        "    return {'mel': (mel - mean) / (spread + 1e-5) * keep, 'mel_length': mel_length.int()}\n");
}

torch::jit::Module decoder(WeightSource& weights) {
    ModuleBuilder m("Decoder", weights, false);
    at::Tensor embedding = weights.uniform({kTokens, kState}, 1.0);
    embedding[kBlank].zero_();
    const std::string e = m.tensor("embedding", embedding);
    std::string params;
    for (int l = 0; l < 2; ++l) {
        const std::string n = std::to_string(l);
        params += (l ? ", " : "") + m.random("w_ih" + n, {4 * kState, kState}, kState) + ", " +
                  m.random("w_hh" + n, {4 * kState, kState}, kState) + ", " +
                  m.tensor("b_ih" + n, weights.uniform({4 * kState}, 0.05)) + ", " +
                  m.tensor("b_hh" + n, weights.uniform({4 * kState}, 0.05));
    }
    return m.finish(
        "def forward(self, targets: Tensor, target_length: Tensor, h_in: Tensor, c_in: Tensor) -> Dict[str, Tensor]:\n"
        "    x = torch.embedding(" + e + ", targets.long(), " + std::to_string(kBlank) + ")\n"
        "    y, h, c = torch.lstm(x, [h_in, c_in], [" + params + "], True, 2, 0.0, False, False, True)\n"
        "    return {'decoder': y.transpose(1, 2), 'h_out': h, 'c_out': c}\n");
}

struct JointWeights {
    at::Tensor encoderWeight, encoderBias, decoderWeight, decoderBias, outWeight, outBias;

    explicit JointWeights(WeightSource& weights)
        : encoderWeight(weights.fanIn({kState, kWidth}, kWidth)),
          encoderBias(weights.uniform({kState}, 0.02)),
          decoderWeight(weights.fanIn({kState, kState}, kState)),
          decoderBias(weights.uniform({kState}, 0.02)),
          outWeight(weights.fanIn({kTokens + kDurations, kState}, kState)),
          outBias(weights.uniform({kTokens + kDurations}, 0.02)) {}

    // Token and duration logits of encoder frames [T, 1024] with one decoder output [1, 640].
    at::Tensor logits(const at::Tensor& frames, const at::Tensor& decoderStep) const {
        const at::Tensor h = at::relu(at::linear(frames, encoderWeight, encoderBias) +
                                      at::linear(decoderStep, decoderWeight, decoderBias));
        return at::linear(h, outWeight, outBias);
    }
};

// Random weights leave the blank's share of the steps to chance. The blank's bias is set so that
// it wins on three steps in four on speech-like noise, over a few decoder states.
void calibrateBlank(JointWeights& joint, torch::jit::Module& preprocessor, torch::jit::Module& encoder,
                    torch::jit::Module& decoder, WeightSource& weights) {
    const std::int64_t samples = 15 * kSampleRate;
    const at::Tensor time = at::arange(samples).to(at::kFloat) / kSampleRate;
    const at::Tensor audio = (weights.uniform({1, samples}, 0.1) * at::sin(time * (2 * M_PI * 2.0)).pow(2)).contiguous();
    const at::Tensor length = at::full({1}, samples, at::kInt);
    const auto mel = preprocessor.forward({audio, length}).toGenericDict();
    const auto encoded = encoder.forward({mel.at("mel").toTensor(), mel.at("mel_length").toTensor()}).toGenericDict();
    const at::Tensor frames = encoded.at("encoder").toTensor()[0].t();
    // The Decoder's output after the blank and after a few tokens.
    std::vector<at::Tensor> steps;
    const at::Tensor zeros = at::zeros({2, 1, kState});
    for (const int token : {kBlank, 7, 130, 1999, 5021}) {
        const auto step = decoder.forward({at::full({1, 1}, token, at::kInt), at::ones({1}, at::kInt), zeros, zeros})
                              .toGenericDict();
        steps.push_back(step.at("decoder").toTensor().reshape({1, kState}));
    }
    joint.outBias[kBlank] = 0.0;
    std::vector<at::Tensor> margins;
    for (const auto& step : steps) {
        const at::Tensor logits = joint.logits(frames, step);
        margins.push_back(logits.narrow(1, 0, kBlank).amax(1) - logits.select(1, kBlank));
    }
    const at::Tensor margin = at::cat(margins);
    joint.outBias[kBlank] = at::quantile(margin, 0.75).item<float>();
}

torch::jit::Module joint(const JointWeights& j, WeightSource& weights) {
    ModuleBuilder m("JointDecision", weights, false);
    const std::string encoderProjection =
        m.linear("enc", "encoder_step.reshape(1, " + std::to_string(kWidth) + ")", j.encoderWeight, j.encoderBias);
    const std::string decoderProjection =
        m.linear("pred", "decoder_step.reshape(1, " + std::to_string(kState) + ")", j.decoderWeight, j.decoderBias);
    const std::string w = m.tensor("out_w", j.outWeight), b = m.tensor("out_b", j.outBias);
    return m.finish(
        "def forward(self, encoder_step: Tensor, decoder_step: Tensor) -> Dict[str, Tensor]:\n"
        "    h = torch.relu(" + encoderProjection + " + " + decoderProjection + ")\n"
        "    logits = torch.linear(h, " + w + ", " + b + ")\n"
        "    prob, token = torch.max(torch.softmax(logits.narrow(1, 0, " + std::to_string(kTokens) + "), -1), -1)\n"
        "    duration = torch.argmax(logits.narrow(1, " + std::to_string(kTokens) + ", " +
        std::to_string(kDurations) + "), -1)\n"
        "    return {'token_id': token.view(1, 1, 1).int(), 'token_prob': prob.view(1, 1, 1),"
        " 'duration': duration.view(1, 1, 1).int()}\n");
}

MLFeatureDescription array(const std::string& name, std::vector<std::int64_t> shape, MLMultiArrayDataType type,
                           std::vector<std::pair<std::int64_t, std::int64_t>> ranges = {}) {
    MLFeatureDescription d;
    d.name = name;
    d.type = platform::MLFeatureType::multiArray;
    d.multiArrayConstraint = platform::MLMultiArrayConstraint{type, std::move(shape), std::move(ranges)};
    return d;
}

constexpr auto f32 = MLMultiArrayDataType::float32;
constexpr auto i32 = MLMultiArrayDataType::int32;

MLModelDescription preprocessorDescription() {
    return {{array("audio_signal", {}, f32, {{1, 1}, {1, -1}}), array("audio_length", {1}, i32)},
            {array("mel", {}, f32), array("mel_length", {1}, i32)}, {}};
}
MLModelDescription encoderDescription() {
    return {{array("mel", {}, f32, {{1, 1}, {kMelBins, kMelBins}, {1, -1}}), array("mel_length", {1}, i32)},
            {array("encoder", {}, f32), array("encoder_length", {1}, i32)}, {}};
}
MLModelDescription decoderDescription() {
    return {{array("targets", {1, 1}, i32), array("target_length", {1}, i32), array("h_in", {2, 1, kState}, f32),
             array("c_in", {2, 1, kState}, f32)},
            {array("decoder", {}, f32), array("h_out", {2, 1, kState}, f32), array("c_out", {2, 1, kState}, f32)},
            {}};
}
MLModelDescription jointDescription() {
    return {{array("encoder_step", {1, kWidth, 1}, f32), array("decoder_step", {1, kState, 1}, f32)},
            {array("token_id", {1, 1, 1}, i32), array("token_prob", {1, 1, 1}, f32), array("duration", {1, 1, 1}, i32)},
            {}};
}

void writeBundle(const fs::path& folder, torch::jit::Module module, MLModelDescription description,
                 ThreadingPreference threading) {
    MLModelBundle bundle;
    bundle.description = std::move(description);
    bundle.engine = MLModelBundle::Engine::torchScript;
    bundle.threading = threading;
    bundle.write(folder);
    module.save((folder / MLModelBundle::torchScriptFileName).string());
}

// Syllables as token texts; every third token starts a word.
std::string vocabularyJson() {
    static const char* const onsets[] = {"", "b", "d", "f", "g", "k", "l", "m", "n", "p", "r", "s", "t", "v"};
    static const char* const vowels[] = {"a", "e", "i", "o", "u", "ai", "ou"};
    nlohmann::json vocabulary = nlohmann::json::object();
    for (int id = 0; id < kBlank; ++id) {
        std::string text = id % 3 == 0 ? "\xE2\x96\x81" : "";
        text += onsets[id % 14];
        text += vowels[(id / 14) % 7];
        if (id >= 98) text += onsets[(id / 98) % 14];
        vocabulary[std::to_string(id)] = text;
    }
    return vocabulary.dump();
}

}  // namespace

void AsrNetworkModels::write(const fs::path& folder) const {
    const bool quantised = precision == Precision::int8;
    const ThreadingPreference encoderThreads =
        threading.value_or(quantised ? ThreadingPreference::torchWide : ThreadingPreference::blasWide);
    const ThreadingPreference otherThreads = threading.value_or(ThreadingPreference::blasWide);
    WeightSource weights(seed);
    c10::InferenceMode inference;
    fs::create_directories(folder);
    torch::jit::Module pre = preprocessor(weights);
    torch::jit::Module enc = encoder(shape, weights, quantised);
    torch::jit::Module dec = decoder(weights);
    JointWeights jointWeights(weights);
    calibrateBlank(jointWeights, pre, enc, dec, weights);
    writeBundle(folder / "Preprocessor.mlmodelc", pre, preprocessorDescription(), otherThreads);
    writeBundle(folder / "Encoder.mlmodelc", enc, encoderDescription(), encoderThreads);
    writeBundle(folder / "Decoder.mlmodelc", dec, decoderDescription(), otherThreads);
    writeBundle(folder / "JointDecision.mlmodelc", joint(jointWeights, weights), jointDescription(), otherThreads);
    std::ofstream(folder / "parakeet_vocab.json", std::ios::binary | std::ios::trunc) << vocabularyJson();
}

}  // namespace testsupport
