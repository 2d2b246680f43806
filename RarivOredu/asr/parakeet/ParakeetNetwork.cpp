#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>

#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "RarivOredu/asr/AsrModelsError.h"
#include "RarivOredu/asr/TdtModelShape.h"
#include "RarivOredu/shared/ShapeText.h"
#include "RarivOredu/asr/parakeet/ScriptModuleSource.h"

namespace rarivoredu {
namespace fs = std::filesystem;
using platform::arrayFeature;
using platform::MLModelBundle;
using platform::MLModelDescription;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using platform::ThreadingPreference;

namespace {

constexpr auto f32 = MLMultiArrayDataType::float32;
constexpr auto i32 = MLMultiArrayDataType::int32;

std::string str(std::int64_t value) { return std::to_string(value); }

MLMultiArrayPtr contiguous(const MLMultiArrayPtr& array) {
    if (array->isContiguous()) return array;
    auto copy = MLMultiArray::create(array->shape(), array->dataType());
    platform::copyMultiArray(*array, *copy);
    return copy;
}

// The same float32 numbers under another shape of the same count.
MLMultiArrayPtr reshaped(const MLMultiArrayPtr& array, const MLMultiArray::Shape& shape) {
    const MLMultiArrayPtr source = contiguous(array);
    return MLMultiArray::wrap(source->dataPointer(), shape, source->dataType(), MLMultiArray::contiguousStrides(shape),
                              {}, source);
}

std::string layerPrefix(int layer) { return "encoder.layers." + std::to_string(layer) + "."; }
const std::string kPreEncode = "encoder.pre_encode.";
const std::string kLstm = "decoder.prediction.dec_rnn.lstm.";

// Batch norm in evaluation mode after a bias-free depthwise convolution, folded into it:
// s = γ / √(var + ε), w' = w·s, b' = β − mean·s.
std::pair<MLMultiArrayPtr, MLMultiArrayPtr> foldBatchNorm(const MLMultiArrayPtr& weight, const MLMultiArrayPtr& gamma,
                                                          const MLMultiArrayPtr& beta, const MLMultiArrayPtr& mean,
                                                          const MLMultiArrayPtr& variance) {
    const auto w = contiguous(weight), g = contiguous(gamma), b = contiguous(beta), m = contiguous(mean),
               v = contiguous(variance);
    const std::int64_t channels = w->shape()[0];
    const std::int64_t kernel = w->count() / channels;
    auto folded = MLMultiArray::create(w->shape(), f32);
    auto bias = MLMultiArray::create({channels}, f32);
    for (std::int64_t c = 0; c < channels; ++c) {
        const double scale = g->data<float>()[c] / std::sqrt(static_cast<double>(v->data<float>()[c]) + 1e-5);
        for (std::int64_t k = 0; k < kernel; ++k) {
            folded->data<float>()[c * kernel + k] = static_cast<float>(w->data<float>()[c * kernel + k] * scale);
        }
        bias->data<float>()[c] = static_cast<float>(b->data<float>()[c] - m->data<float>()[c] * scale);
    }
    return {folded, bias};
}

}  // namespace

ParakeetNetwork::ParakeetNetwork(ParakeetConfig config) : config_(std::move(config)) { config_.validate(); }

ParakeetNetwork::TensorSource ParakeetNetwork::stateDictSource(std::map<std::string, MLMultiArrayPtr> stateDict) {
    auto tensors = std::make_shared<const std::map<std::string, MLMultiArrayPtr>>(std::move(stateDict));
    return [tensors](const std::string& name, const Shape& shape) {
        const auto it = tensors->find(name);
        if (it == tensors->end()) throw AsrModelsError::loadingFailed("The state dict has no tensor " + name);
        if (it->second->shape() != shape || it->second->dataType() != f32) {
            throw AsrModelsError::loadingFailed("The state dict's tensor " + name + " has shape " +
                                                shapeArrayText(it->second->shape()) + ", expected " +
                                                shapeArrayText(shape));
        }
        return it->second;
    };
}

std::string ParakeetNetwork::bundleName(Module module) {
    switch (module) {
        case Module::preprocessor: return "Preprocessor.mlmodelc";
        case Module::encoder: return "Encoder.mlmodelc";
        case Module::decoder: return "Decoder.mlmodelc";
        case Module::joint: return "JointDecision.mlmodelc";
    }
    return {};
}

std::vector<ParakeetNetwork::TensorSpec> ParakeetNetwork::tensors(Module module) const {
    const ParakeetConfig& c = config_;
    const std::int64_t D = c.modelWidth, F = c.feedForwardWidth, C = c.subsamplingChannels, H = c.predictionWidth,
                       J = c.jointWidth, K = c.convolutionKernel;
    std::vector<TensorSpec> specs;
    auto add = [&specs](std::string name, Shape shape) { specs.push_back({std::move(name), std::move(shape)}); };
    switch (module) {
        case Module::preprocessor:
            add("preprocessor.featurizer.window", {ParakeetConfig::windowLength});
            add("preprocessor.featurizer.fb", {1, ParakeetConfig::melBins, ParakeetConfig::fftSize / 2 + 1});
            break;
        case Module::encoder: {
            add(kPreEncode + "conv.0.weight", {C, 1, 3, 3});
            add(kPreEncode + "conv.0.bias", {C});
            for (const char* dw : {"2", "5"}) {
                add(kPreEncode + "conv." + dw + ".weight", {C, 1, 3, 3});
                add(kPreEncode + "conv." + dw + ".bias", {C});
            }
            for (const char* pw : {"3", "6"}) {
                add(kPreEncode + "conv." + pw + ".weight", {C, C, 1, 1});
                add(kPreEncode + "conv." + pw + ".bias", {C});
            }
            add(kPreEncode + "out.weight", {D, C * (ParakeetConfig::melBins / ParakeetConfig::subsamplingFactor)});
            add(kPreEncode + "out.bias", {D});
            for (int i = 0; i < c.layers; ++i) {
                const std::string p = layerPrefix(i);
                for (const char* norm : {"norm_feed_forward1", "norm_self_att", "norm_conv", "norm_feed_forward2",
                                         "norm_out"}) {
                    add(p + norm + ".weight", {D});
                    add(p + norm + ".bias", {D});
                }
                for (const char* ff : {"feed_forward1", "feed_forward2"}) {
                    add(p + ff + ".linear1.weight", {F, D});
                    add(p + ff + ".linear2.weight", {D, F});
                }
                add(p + "self_attn.pos_bias_u", {c.heads, c.headWidth()});
                add(p + "self_attn.pos_bias_v", {c.heads, c.headWidth()});
                for (const char* linear : {"linear_q", "linear_k", "linear_v", "linear_out", "linear_pos"}) {
                    add(p + "self_attn." + linear + ".weight", {D, D});
                }
                add(p + "conv.pointwise_conv1.weight", {2 * D, D, 1});
                add(p + "conv.depthwise_conv.weight", {D, 1, K});
                for (const char* bn : {"weight", "bias", "running_mean", "running_var"}) {
                    add(p + "conv.batch_norm." + bn, {D});
                }
                add(p + "conv.pointwise_conv2.weight", {D, D, 1});
            }
            break;
        }
        case Module::decoder:
            add("decoder.prediction.embed.weight", {c.tokenCount(), H});
            for (int l = 0; l < ParakeetConfig::predictionLayers; ++l) {
                const std::string n = "_l" + std::to_string(l);
                add(kLstm + "weight_ih" + n, {4 * H, H});
                add(kLstm + "weight_hh" + n, {4 * H, H});
                add(kLstm + "bias_ih" + n, {4 * H});
                add(kLstm + "bias_hh" + n, {4 * H});
            }
            break;
        case Module::joint:
            add("joint.enc.weight", {J, D});
            add("joint.enc.bias", {J});
            add("joint.pred.weight", {J, H});
            add("joint.pred.bias", {J});
            add("joint.joint_net.2.weight", {c.jointOutputs(), J});
            add("joint.joint_net.2.bias", {c.jointOutputs()});
            break;
    }
    return specs;
}

std::vector<ParakeetNetwork::TensorSpec> ParakeetNetwork::allTensors() const {
    std::vector<TensorSpec> specs;
    for (const Module module : modules) {
        for (auto& spec : tensors(module)) specs.push_back(std::move(spec));
    }
    for (int i = 0; i < config_.layers; ++i) {
        specs.push_back({layerPrefix(i) + "conv.batch_norm.num_batches_tracked", {}, true});
    }
    return specs;
}

MLModelDescription ParakeetNetwork::description(Module module, const Options& options) const {
    const std::int64_t D = config_.modelWidth, H = config_.predictionWidth;
    const std::int64_t layers = ParakeetConfig::predictionLayers, mels = ParakeetConfig::melBins;
    switch (module) {
        case Module::preprocessor:
            return {{arrayFeature("audio_signal", {}, f32, {{1, 1}, {1, -1}}), arrayFeature("audio_length", {1}, i32)},
                    {arrayFeature("mel", {}, f32), arrayFeature("mel_length", {1}, i32)},
                    {}};
        case Module::encoder:
            return {{arrayFeature("mel", {}, f32, {{1, 1}, {mels, mels}, {1, -1}}),
                     arrayFeature("mel_length", {1}, i32)},
                    {arrayFeature("encoder", {}, f32), arrayFeature("encoder_length", {1}, i32)},
                    {}};
        case Module::decoder:
            return {{arrayFeature("targets", {1, 1}, i32), arrayFeature("target_length", {1}, i32),
                     arrayFeature("h_in", {layers, 1, H}, f32), arrayFeature("c_in", {layers, 1, H}, f32)},
                    {arrayFeature("decoder", {}, f32), arrayFeature("h_out", {layers, 1, H}, f32),
                     arrayFeature("c_out", {layers, 1, H}, f32)},
                    {}};
        case Module::joint: {
            MLModelDescription d{{arrayFeature("encoder_step", {1, D, 1}, f32),
                                  arrayFeature("decoder_step", {1, H, 1}, f32)},
                                 {arrayFeature("token_id", {1, 1, 1}, i32), arrayFeature("token_prob", {1, 1, 1}, f32),
                                  arrayFeature("duration", {1, 1, 1}, i32)},
                                 {}};
            if (options.jointLogits) d.outputs.push_back(arrayFeature("logits", {1, config_.jointOutputs()}, f32));
            // The recogniser takes the blank from here: it follows the vocabulary's pieces.
            d.metadata[TdtModelShape::blankIdKey] = std::to_string(config_.blankId());
            return d;
        }
    }
    return {};
}

void ParakeetNetwork::write(Module module, const fs::path& bundleFolder, const TensorSource& weights,
                            const Options& options) const {
    const bool int8 = module == Module::encoder && options.int8Encoder;
    MLModelBundle bundle;
    bundle.description = description(module, options);
    bundle.engine = MLModelBundle::Engine::torchScript;
    bundle.threading = options.threading.value_or(int8 ? ThreadingPreference::torchWide : ThreadingPreference::blasWide);
    fs::create_directories(bundleFolder);
    const fs::path file = bundleFolder / MLModelBundle::torchScriptFileName;
    switch (module) {
        case Module::preprocessor: writePreprocessor(file, weights); break;
        case Module::encoder: writeEncoder(file, weights, int8); break;
        case Module::decoder: writeDecoder(file, weights); break;
        case Module::joint: writeJoint(file, weights, options.jointLogits); break;
    }
    bundle.write(bundleFolder);
}

void ParakeetNetwork::writePreprocessor(const fs::path& file, const TensorSource& weights) const {
    const auto specs = tensors(Module::preprocessor);
    ScriptModuleSource m("def forward(self, audio_signal: Tensor, audio_length: Tensor) -> Dict[str, Tensor]:");
    const std::string window = m.tensor("window", weights(specs[0].name, specs[0].shape));
    const std::string bank = m.tensor("filterbank", weights(specs[1].name, specs[1].shape));
    const int hop = ParakeetConfig::hopLength, fft = ParakeetConfig::fftSize;
    m.line("x = audio_signal.float()");
    m.line("n = x.size(1)");
    m.line("length = audio_length.long()");
    // Pre-emphasis, then nothing of the samples from the length on.
    m.line("x = torch.cat([x.narrow(1, 0, 1), x.narrow(1, 1, n - 1) - 0.97 * x.narrow(1, 0, n - 1)], 1)");
    m.line("x = x * (torch.arange(n).unsqueeze(0) < length.unsqueeze(1)).float()");
    // Centred frames with zeros beyond both ends; the window centred in the transform's length.
    m.line("x = torch.constant_pad_nd(x, [" + str(fft / 2) + ", " + str(fft / 2) + "], 0.0)");
    m.line("spectrum = torch.view_as_real(torch.stft(x, " + str(fft) + ", " + str(hop) + ", " +
           str(ParakeetConfig::windowLength) + ", " + window + ", False, True, True))");
    m.line("power = spectrum.pow(2.0).sum(-1)");
    m.line("mel = torch.log(torch.matmul(" + bank + ", power) + 5.960464477539063e-08)");
    m.line("mel_length = torch.div(length, " + str(hop) + ", rounding_mode='floor')");
    // Per-bin normalisation over the valid frames: unbiased deviation (0 for one frame) + 1e-5.
    m.line("keep = (torch.arange(mel.size(2)).unsqueeze(0) < mel_length.unsqueeze(1)).unsqueeze(1).float()");
    m.line("count = keep.sum(2, keepdim=True)");
    m.line("mean = (mel * keep).sum(2, keepdim=True) / count.clamp_min(1.0)");
    m.line("spread = ((((mel - mean) * keep) ** 2).sum(2, keepdim=True) / (count - 1.0).clamp_min(1.0)).sqrt()");
    m.line("return {'mel': (mel - mean) / (spread + 1e-05) * keep, 'mel_length': mel_length.int()}");
    std::move(m).save(file);
}

void ParakeetNetwork::writeEncoder(const fs::path& file, const TensorSource& weights, bool int8) const {
    const ParakeetConfig& c = config_;
    const std::string D = str(c.modelWidth), H = str(c.heads), Dh = str(c.headWidth()),
                      C = str(c.subsamplingChannels);
    auto w = [&weights](const TensorSpec& spec) { return weights(spec.name, spec.shape); };
    const auto specs = tensors(Module::encoder);
    std::size_t next = 0;
    auto take = [&]() -> const TensorSpec& { return specs[next++]; };

    ScriptModuleSource m("def forward(self, mel: Tensor, mel_length: Tensor) -> Dict[str, Tensor]:");
    // Subsampling over [1, 1, T, 128]: conv, ReLU, depthwise, pointwise, ReLU, depthwise,
    // pointwise, ReLU. Rows from the current length on are zeroed before every convolution that
    // reaches across rows, and at the end; each stride-2 layer gives len = (len - 1) // 2 + 1.
    m.line("x = mel.float().transpose(1, 2).unsqueeze(1)");
    m.line("length = mel_length.long()");
    m.line("x = x * (torch.arange(x.size(2)).unsqueeze(1) < length).float().view(1, 1, -1, 1)");
    const std::string conv0 = m.tensor("pre_conv0_w", w(take()));
    const std::string conv0b = m.tensor("pre_conv0_b", w(take()));
    m.line("x = torch.relu(torch.conv2d(x, " + conv0 + ", " + conv0b + ", [2, 2], [1, 1], [1, 1], 1))");
    m.line("length = torch.div(length - 1, 2, rounding_mode='floor') + 1");
    const TensorSpec* dw[2] = {&take(), nullptr};
    const TensorSpec* dwb[2] = {&take(), nullptr};
    dw[1] = &take();
    dwb[1] = &take();
    const TensorSpec* pw[2] = {&take(), nullptr};
    const TensorSpec* pwb[2] = {&take(), nullptr};
    pw[1] = &take();
    pwb[1] = &take();
    for (int i = 0; i < 2; ++i) {
        const std::string n = std::to_string(i + 1);
        m.line("x = x * (torch.arange(x.size(2)).unsqueeze(1) < length).float().view(1, 1, -1, 1)");
        m.line("x = torch.conv2d(x, " + m.tensor("pre_dw" + n + "_w", w(*dw[i])) + ", " +
               m.tensor("pre_dw" + n + "_b", w(*dwb[i])) + ", [2, 2], [1, 1], [1, 1], " + C + ")");
        m.line("length = torch.div(length - 1, 2, rounding_mode='floor') + 1");
        // The pointwise convolution as a linear layer over the channels.
        const auto weight = reshaped(w(*pw[i]), {c.subsamplingChannels, c.subsamplingChannels});
        m.line("x = torch.relu(" + m.linear("pre_pw" + n, "x.permute(0, 2, 3, 1)", weight, w(*pwb[i]), int8) +
               ").permute(0, 3, 1, 2)");
    }
    m.line("x = x * (torch.arange(x.size(2)).unsqueeze(1) < length).float().view(1, 1, -1, 1)");
    const int rows = ParakeetConfig::melBins / ParakeetConfig::subsamplingFactor;
    m.line("T = x.size(2)");
    m.line("x = x.transpose(1, 2).reshape(1, T, " + str(static_cast<std::int64_t>(c.subsamplingChannels) * rows) + ")");
    {
        const auto& ow = take();
        const auto& ob = take();
        m.line("x = " + m.linear("pre_out", "x", w(ow), w(ob), int8));
    }

    // Masks and the encodings of the relative positions T - 1 … -(T - 1).
    m.line("frames = torch.arange(T).unsqueeze(0)");
    m.line("keep = (frames < length.unsqueeze(1)).unsqueeze(2).float()");
    m.line("padded = (frames >= length.unsqueeze(1))");
    m.line("pad = torch.logical_or(padded.view(1, 1, T, 1), padded.view(1, 1, 1, T))");
    auto inverse = MLMultiArray::create({1, c.modelWidth / 2}, f32);
    for (int i = 0; i < c.modelWidth / 2; ++i) {
        inverse->data<float>()[i] = std::exp(static_cast<float>(2 * i) * static_cast<float>(-std::log(10000.0) / c.modelWidth));
    }
    m.line("angles = torch.arange(T - 1, -T, -1).float().unsqueeze(1) * " + m.tensor("inv_freq", inverse));
    m.line("pos = torch.stack([torch.sin(angles), torch.cos(angles)], 2).view(1, 2 * T - 1, " + D + ")");

    const std::string scale = std::to_string(1.0 / std::sqrt(static_cast<double>(c.headWidth())));
    for (int i = 0; i < c.layers; ++i) {
        const std::string l = "l" + std::to_string(i) + "_";
        const std::string p = layerPrefix(i);
        auto get = [&](const std::string& name) {
            for (const auto& spec : specs) {
                if (spec.name == p + name) return weights(spec.name, spec.shape);
            }
            throw std::logic_error("no tensor " + p + name);
        };
        auto norm = [&](const std::string& name, const std::string& input) {
            return "torch.layer_norm(" + input + ", [" + D + "], " + m.tensor(l + name + "_w", get(name + ".weight")) +
                   ", " + m.tensor(l + name + "_b", get(name + ".bias")) + ", 1e-05)";
        };
        auto linear = [&](const std::string& name, const std::string& input, const std::string& key) {
            return m.linear(l + name, input, get(key), nullptr, int8);
        };
        auto feedForward = [&](const std::string& n, const std::string& key) {
            m.line("y = " + norm("norm_" + key, "x"));
            m.line("y = torch.silu(" + linear(n + "_up", "y", key + ".linear1.weight") + ")");
            m.line("x = x + 0.5 * " + linear(n + "_down", "y", key + ".linear2.weight"));
        };
        feedForward("ff1", "feed_forward1");

        m.line("y = " + norm("norm_self_att", "x"));
        for (const char* qkv : {"q", "k", "v"}) {
            m.line(std::string(qkv) + " = " +
                   linear(std::string("att_") + qkv, "y", std::string("self_attn.linear_") + qkv + ".weight") +
                   ".view(1, T, " + H + ", " + Dh + ").transpose(1, 2)");
        }
        m.line("p = " + linear("att_pos", "pos", "self_attn.linear_pos.weight") + ".view(1, 2 * T - 1, " + H + ", " +
               Dh + ").transpose(1, 2)");
        const std::string u = m.tensor(l + "att_bias_u", reshaped(get("self_attn.pos_bias_u"), {1, c.heads, 1, c.headWidth()}));
        const std::string v = m.tensor(l + "att_bias_v", reshaped(get("self_attn.pos_bias_v"), {1, c.heads, 1, c.headWidth()}));
        m.line("ac = torch.matmul(q + " + u + ", k.transpose(2, 3))");
        m.line("bd = torch.matmul(q + " + v + ", p.transpose(2, 3))");
        // Relative shift: row i takes the positions i - j for j = 0 … T - 1.
        m.line("bd = torch.constant_pad_nd(bd, [1, 0], 0.0).view(1, " + H + ", 2 * T, T)");
        m.line("bd = bd.narrow(2, 1, 2 * T - 1).reshape(1, " + H + ", T, 2 * T - 1).narrow(3, 0, T)");
        m.line("scores = (ac + bd) * " + scale);
        m.line("attention = torch.softmax(scores.masked_fill(pad, -10000.0), -1).masked_fill(pad, 0.0)");
        m.line("y = torch.matmul(attention, v).transpose(1, 2).reshape(1, T, " + D + ")");
        m.line("x = x + " + linear("att_out", "y", "self_attn.linear_out.weight"));

        m.line("y = " + norm("norm_conv", "x"));
        const auto pw1 = reshaped(get("conv.pointwise_conv1.weight"), {2 * c.modelWidth, c.modelWidth});
        m.line("y = torch.glu(" + m.linear(l + "conv_pw1", "y", pw1, nullptr, int8) + ", -1) * keep");
        const auto [dwWeight, dwBias] =
            foldBatchNorm(get("conv.depthwise_conv.weight"), get("conv.batch_norm.weight"), get("conv.batch_norm.bias"),
                          get("conv.batch_norm.running_mean"), get("conv.batch_norm.running_var"));
        m.line("y = torch.conv1d(y.transpose(1, 2), " + m.tensor(l + "conv_dw_w", dwWeight) + ", " +
               m.tensor(l + "conv_dw_b", dwBias) + ", [1], [" + str(c.convolutionKernel / 2) + "], [1], " + D + ")");
        m.line("y = torch.silu(y).transpose(1, 2)");
        const auto pw2 = reshaped(get("conv.pointwise_conv2.weight"), {c.modelWidth, c.modelWidth});
        m.line("x = x + " + m.linear(l + "conv_pw2", "y", pw2, nullptr, int8));

        feedForward("ff2", "feed_forward2");
        m.line("x = " + norm("norm_out", "x"));
    }
    m.line("return {'encoder': x.transpose(1, 2).contiguous(), 'encoder_length': length.int()}");
    std::move(m).save(file);
}

void ParakeetNetwork::writeDecoder(const fs::path& file, const TensorSource& weights) const {
    const auto specs = tensors(Module::decoder);
    ScriptModuleSource m(
        "def forward(self, targets: Tensor, target_length: Tensor, h_in: Tensor, c_in: Tensor) -> Dict[str, Tensor]:");
    const std::string embedding = m.tensor("embedding", weights(specs[0].name, specs[0].shape));
    std::string params;
    for (std::size_t i = 1; i < specs.size(); ++i) {
        params += (i > 1 ? ", " : "") + m.tensor("lstm" + std::to_string(i - 1), weights(specs[i].name, specs[i].shape));
    }
    m.line("x = torch.embedding(" + embedding + ", targets.long(), " + str(config_.blankId()) + ")");
    m.line("y, h, c = torch.lstm(x, [h_in, c_in], [" + params + "], True, " + str(ParakeetConfig::predictionLayers) +
           ", 0.0, False, False, True)");
    m.line("return {'decoder': y.transpose(1, 2), 'h_out': h, 'c_out': c}");
    std::move(m).save(file);
}

void ParakeetNetwork::writeJoint(const fs::path& file, const TensorSource& weights, bool logits) const {
    const auto specs = tensors(Module::joint);
    auto w = [&](std::size_t i) { return weights(specs[i].name, specs[i].shape); };
    ScriptModuleSource m("def forward(self, encoder_step: Tensor, decoder_step: Tensor) -> Dict[str, Tensor]:");
    const std::string encoderProjection =
        m.linear("enc", "encoder_step.reshape(1, " + str(config_.modelWidth) + ")", w(0), w(1));
    const std::string decoderProjection =
        m.linear("pred", "decoder_step.reshape(1, " + str(config_.predictionWidth) + ")", w(2), w(3));
    const std::string tokens = str(config_.tokenCount());
    m.line("h = torch.relu(" + encoderProjection + " + " + decoderProjection + ")");
    m.line("logits = " + m.linear("out", "h", w(4), w(5)));
    m.line("prob, token = torch.max(torch.softmax(logits.narrow(1, 0, " + tokens + "), -1), -1)");
    m.line("duration = torch.argmax(logits.narrow(1, " + tokens + ", " + str(config_.durations.size()) + "), -1)");
    m.line(std::string("return {'token_id': token.view(1, 1, 1).int(), 'token_prob': prob.view(1, 1, 1), ") +
           "'duration': duration.view(1, 1, 1).int()" + (logits ? ", 'logits': logits" : "") + "}");
    std::move(m).save(file);
}

std::string ParakeetNetwork::vocabularyJson() const {
    nlohmann::json vocabulary = nlohmann::json::object();
    for (std::size_t id = 0; id < config_.vocabulary.size(); ++id) vocabulary[std::to_string(id)] = config_.vocabulary[id];
    return vocabulary.dump();
}

}  // namespace rarivoredu
