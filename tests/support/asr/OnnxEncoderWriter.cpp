#include "tests/support/asr/OnnxEncoderWriter.h"

#include <onnx/onnx_pb.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "tests/support/asr/OnnxGraphBuilder.h"

namespace testsupport {
namespace {

using platform::MLMultiArray;
using platform::MLMultiArrayPtr;
using rarivoredu::ParakeetConfig;
using rarivoredu::ParakeetNetwork;
using Builder = OnnxGraphBuilder;
using Shape = OnnxGraphBuilder::Shape;

std::vector<float> floatsOf(const MLMultiArrayPtr& array) {
    MLMultiArrayPtr source = array;
    if (!array->isContiguous() || array->dataType() != platform::MLMultiArrayDataType::float32) {
        source = MLMultiArray::create(array->shape(), platform::MLMultiArrayDataType::float32);
        platform::copyMultiArray(*array, *source);
    }
    return {source->data<float>(), source->data<float>() + source->count()};
}

// The graph of one encoder, written node by node.
class EncoderGraph {
public:
    EncoderGraph(Builder& b, const ParakeetConfig& c, const rarivoredu::StateDict& weights, bool int8)
        : b_(b), c_(c), weights_(weights), int8_(int8), specs_(ParakeetNetwork(c).tensors(ParakeetNetwork::Module::encoder)) {}

    std::string build(const std::string& mel);

private:
    std::vector<float> w(const std::string& name) const {
        for (const auto& spec : specs_) {
            if (spec.name == name) return floatsOf(weights_.require(spec.name, spec.shape));
        }
        throw std::logic_error("The encoder reads no tensor " + name);
    }

    // x [.., in] · Wᵀ (+ bias) for a weight [out, in].
    std::string linear(const std::string& name, const std::string& x, const std::vector<float>& weight,
                       std::int64_t out, std::int64_t in, const std::vector<float>* bias = nullptr);
    std::string layerNorm(const std::string& x, const std::string& prefix) {
        const auto scale = w(prefix + ".weight"), shift = w(prefix + ".bias");
        const std::int64_t D = c_.modelWidth;
        return b_.node("LayerNormalization",
                       {x, b_.floats(prefix + ".weight", {D}, scale.data()), b_.floats(prefix + ".bias", {D}, shift.data())},
                       [](onnx::NodeProto& n) {
                           Builder::intAttribute(n, "axis", -1);
                           Builder::floatAttribute(n, "epsilon", 1e-5f);
                       });
    }
    std::string silu(const std::string& x) { return b_.node("Mul", {x, b_.node("Sigmoid", {x})}); }
    std::string transpose(const std::string& x, const std::vector<std::int64_t>& perm) {
        return b_.node("Transpose", {x}, [&](onnx::NodeProto& n) { Builder::intsAttribute(n, "perm", perm); });
    }
    std::string reshape(const std::string& x, const std::string& shape) { return b_.node("Reshape", {x, shape}); }
    std::string slice(const std::string& x, const std::string& starts, const std::string& ends, std::int64_t axis) {
        return b_.node("Slice", {x, starts, ends, b_.ints({axis})});
    }
    std::string conv(const std::string& x, const std::string& prefix, const Shape& shape, const std::vector<float>& weight,
                     const std::vector<float>& bias, std::int64_t stride, std::int64_t pad, std::int64_t group) {
        const std::int64_t dims = static_cast<std::int64_t>(shape.size()) - 2;
        return b_.node("Conv",
                       {x, b_.floats(prefix + ".weight", shape, weight.data()),
                        b_.floats(prefix + ".bias", {shape[0]}, bias.data())},
                       [&](onnx::NodeProto& n) {
                           Builder::intsAttribute(n, "kernel_shape", Shape(shape.begin() + 2, shape.end()));
                           Builder::intsAttribute(n, "strides", Shape(dims, stride));
                           Builder::intsAttribute(n, "pads", Shape(2 * dims, pad));
                           Builder::intAttribute(n, "group", group);
                       });
    }

    std::string subsampling(const std::string& mel);
    std::string positions(const std::string& frames);
    std::string layer(int i, const std::string& x, const std::string& pos, const std::string& frames);

    Builder& b_;
    const ParakeetConfig& c_;
    const rarivoredu::StateDict& weights_;
    const bool int8_;
    const std::vector<ParakeetNetwork::TensorSpec> specs_;
};

std::string EncoderGraph::linear(const std::string& name, const std::string& x, const std::vector<float>& weight,
                                 std::int64_t out, std::int64_t in, const std::vector<float>* bias) {
    std::string y;
    if (!int8_) {
        std::vector<float> transposed(weight.size());
        for (std::int64_t o = 0; o < out; ++o) {
            for (std::int64_t k = 0; k < in; ++k) transposed[k * out + o] = weight[o * in + k];
        }
        y = b_.node("MatMul", {x, b_.floats(name + ".weight", {in, out}, transposed.data())});
    } else {
        // Per output channel: scale = max|w| / 127 (at least 1e-8), q = round(w / scale).
        std::vector<float> scales(out);
        std::vector<std::int8_t> q(weight.size());
        for (std::int64_t o = 0; o < out; ++o) {
            float top = 0;
            for (std::int64_t k = 0; k < in; ++k) top = std::max(top, std::abs(weight[o * in + k]));
            const float scale = std::max(top / 127.0f, 1e-8f);  // in float32, as our Encoder's
            scales[o] = scale;
            for (std::int64_t k = 0; k < in; ++k) {
                const double v = std::nearbyint(static_cast<double>(weight[o * in + k]) / scale);
                q[k * out + o] = static_cast<std::int8_t>(std::clamp(v, -128.0, 127.0));
            }
        }
        const std::vector<std::int8_t> zeros(out, 0);
        const auto quantised = b_.nodes("DynamicQuantizeLinear", {x}, 3);
        const std::string product =
            b_.node("MatMulInteger", {quantised[0], b_.int8s(name + ".weight_quantized", {in, out}, q.data()), quantised[2],
                                      b_.int8s(name + ".weight_zero_point", {out}, zeros.data())});
        const std::string scale = b_.node("Mul", {quantised[1], b_.floats(name + ".weight_scale", {out}, scales.data())});
        y = b_.node("Mul", {b_.node("Cast", {product}, [](onnx::NodeProto& n) {
                                Builder::intAttribute(n, "to", onnx::TensorProto_DataType_FLOAT);
                            }),
                            scale});
    }
    if (bias != nullptr) y = b_.node("Add", {y, b_.floats(name + ".bias", {out}, bias->data())});
    return y;
}

// [1, 128, T] → [1, T/8, D]: conv 3×3 stride 2 + ReLU, twice (depthwise stride 2, pointwise as a
// linear over the channels, ReLU), then the linear over channels × the 16 remaining mel rows.
std::string EncoderGraph::subsampling(const std::string& mel) {
    const std::string pre = "encoder.pre_encode.";
    const std::int64_t C = c_.subsamplingChannels;
    std::string x = b_.node("Unsqueeze", {transpose(mel, {0, 2, 1}), b_.ints({1})});
    x = b_.node("Relu", {conv(x, pre + "conv.0", {C, 1, 3, 3}, w(pre + "conv.0.weight"), w(pre + "conv.0.bias"), 2, 1, 1)});
    const char* const depthwise[2] = {"conv.2", "conv.5"};
    const char* const pointwise[2] = {"conv.3", "conv.6"};
    for (int i = 0; i < 2; ++i) {
        const std::string dw = pre + depthwise[i], pw = pre + pointwise[i];
        x = conv(x, dw, {C, 1, 3, 3}, w(dw + ".weight"), w(dw + ".bias"), 2, 1, C);
        const auto bias = w(pw + ".bias");
        x = linear(pw, transpose(x, {0, 2, 3, 1}), w(pw + ".weight"), C, C, &bias);
        x = transpose(b_.node("Relu", {x}), {0, 3, 1, 2});
    }
    const std::int64_t rows = ParakeetConfig::melBins / ParakeetConfig::subsamplingFactor;
    x = reshape(transpose(x, {0, 2, 1, 3}), b_.ints({0, 0, C * rows}));
    const auto bias = w(pre + "out.bias");
    return linear(pre + "out", x, w(pre + "out.weight"), c_.modelWidth, C * rows, &bias);
}

// The encodings of the relative positions T - 1 … -(T - 1): [1, 2T - 1, D], sin and cos
// interleaved. `frames` is T as a scalar.
std::string EncoderGraph::positions(const std::string& frames) {
    const std::int64_t D = c_.modelWidth;
    std::vector<float> inverse(static_cast<std::size_t>(D / 2));
    for (std::int64_t i = 0; i < D / 2; ++i) {
        inverse[i] = std::exp(static_cast<float>(2 * i) * static_cast<float>(-std::log(10000.0) / D));
    }
    const std::string start = b_.node("Sub", {frames, b_.int64Scalar(1)});
    const std::string limit = b_.node("Neg", {frames});
    const std::string range = b_.node("Range", {start, limit, b_.int64Scalar(-1)});
    const std::string angles =
        b_.node("Mul", {b_.node("Unsqueeze", {b_.node("Cast", {range}, [](onnx::NodeProto& n) {
                                                  Builder::intAttribute(n, "to", onnx::TensorProto_DataType_FLOAT);
                                              }),
                                              b_.ints({1})}),
                        b_.floats("inv_freq", {1, D / 2}, inverse.data())});
    const std::string sin = b_.node("Unsqueeze", {b_.node("Sin", {angles}), b_.ints({2})});
    const std::string cos = b_.node("Unsqueeze", {b_.node("Cos", {angles}), b_.ints({2})});
    const std::string pairs = b_.node("Concat", {sin, cos}, [](onnx::NodeProto& n) { Builder::intAttribute(n, "axis", 2); });
    return reshape(pairs, b_.ints({1, -1, D}));
}

std::string EncoderGraph::layer(int i, const std::string& input, const std::string& pos, const std::string& frames) {
    const std::string p = "encoder.layers." + std::to_string(i) + ".";
    const std::int64_t D = c_.modelWidth, F = c_.feedForwardWidth, H = c_.heads, Dh = c_.headWidth(),
                       K = c_.convolutionKernel;
    std::string x = input;
    const std::string half = b_.floatScalar(0.5f);
    auto feedForward = [&](const std::string& key) {
        std::string y = layerNorm(x, p + "norm_" + key);
        y = silu(linear(p + key + ".linear1", y, w(p + key + ".linear1.weight"), F, D));
        y = linear(p + key + ".linear2", y, w(p + key + ".linear2.weight"), D, F);
        x = b_.node("Add", {x, b_.node("Mul", {y, half})});
    };
    feedForward("feed_forward1");

    // Relative-position self-attention.
    const std::string a = p + "self_attn.";
    std::string y = layerNorm(x, p + "norm_self_att");
    const std::string heads = b_.ints({0, -1, H, Dh});
    auto project = [&](const std::string& name, const std::string& from, const std::vector<std::int64_t>& perm) {
        return transpose(reshape(linear(a + name, from, w(a + name + ".weight"), D, D), heads), perm);
    };
    const std::string q = project("linear_q", y, {0, 2, 1, 3});       // [1, H, T, Dh]
    const std::string k = project("linear_k", y, {0, 2, 3, 1});       // [1, H, Dh, T]
    const std::string v = project("linear_v", y, {0, 2, 1, 3});       // [1, H, T, Dh]
    const std::string pT = project("linear_pos", pos, {0, 2, 3, 1});  // [1, H, Dh, 2T - 1]
    const auto biasU = w(a + "pos_bias_u"), biasV = w(a + "pos_bias_v");
    const std::string ac =
        b_.node("MatMul", {b_.node("Add", {q, b_.floats(a + "pos_bias_u", {1, H, 1, Dh}, biasU.data())}), k});
    std::string bd = b_.node("MatMul", {b_.node("Add", {q, b_.floats(a + "pos_bias_v", {1, H, 1, Dh}, biasV.data())}), pT});
    // Relative shift: row i takes the positions i - j for j = 0 … T - 1.
    const std::string framesVector = b_.node("Unsqueeze", {frames, b_.ints({0})});
    bd = b_.node("Pad", {bd, b_.ints({0, 0, 0, 1, 0, 0, 0, 0})});
    bd = reshape(bd, b_.node("Concat", {b_.ints({1, H, -1}), framesVector},
                             [](onnx::NodeProto& n) { Builder::intAttribute(n, "axis", 0); }));
    bd = slice(bd, b_.ints({1}), b_.ints({std::numeric_limits<std::int64_t>::max()}), 2);
    bd = reshape(bd, b_.node("Concat", {b_.ints({1, H}), framesVector, b_.ints({-1})},
                             [](onnx::NodeProto& n) { Builder::intAttribute(n, "axis", 0); }));
    bd = slice(bd, b_.ints({0}), framesVector, 3);
    // The scale as the TorchScript encoder spells it (six decimals).
    const float scale = static_cast<float>(std::stod(std::to_string(1.0 / std::sqrt(static_cast<double>(Dh)))));
    const std::string scores = b_.node("Mul", {b_.node("Add", {ac, bd}), b_.floatScalar(scale)});
    const std::string attention =
        b_.node("Softmax", {scores}, [](onnx::NodeProto& n) { Builder::intAttribute(n, "axis", -1); });
    y = reshape(transpose(b_.node("MatMul", {attention, v}), {0, 2, 1, 3}), b_.ints({0, -1, D}));
    x = b_.node("Add", {x, linear(a + "linear_out", y, w(a + "linear_out.weight"), D, D)});

    // Convolution module: pointwise + GLU, depthwise (batch norm folded in), SiLU, pointwise.
    y = layerNorm(x, p + "norm_conv");
    y = linear(p + "conv.pointwise_conv1", y, w(p + "conv.pointwise_conv1.weight"), 2 * D, D);
    const std::string glu = b_.node("Mul", {slice(y, b_.ints({0}), b_.ints({D}), 2),
                                            b_.node("Sigmoid", {slice(y, b_.ints({D}), b_.ints({2 * D}), 2)})});
    const auto dw = w(p + "conv.depthwise_conv.weight"), gamma = w(p + "conv.batch_norm.weight"),
               beta = w(p + "conv.batch_norm.bias"), mean = w(p + "conv.batch_norm.running_mean"),
               variance = w(p + "conv.batch_norm.running_var");
    std::vector<float> folded(dw.size()), foldedBias(static_cast<std::size_t>(D));
    for (std::int64_t ch = 0; ch < D; ++ch) {
        const double s = gamma[ch] / std::sqrt(static_cast<double>(variance[ch]) + 1e-5);
        for (std::int64_t j = 0; j < K; ++j) folded[ch * K + j] = static_cast<float>(dw[ch * K + j] * s);
        foldedBias[ch] = static_cast<float>(beta[ch] - mean[ch] * s);
    }
    y = conv(transpose(glu, {0, 2, 1}), p + "conv.depthwise_conv", {D, 1, K}, folded, foldedBias, 1, K / 2, D);
    y = transpose(silu(y), {0, 2, 1});
    x = b_.node("Add", {x, linear(p + "conv.pointwise_conv2", y, w(p + "conv.pointwise_conv2.weight"), D, D)});

    feedForward("feed_forward2");
    return layerNorm(x, p + "norm_out");
}

std::string EncoderGraph::build(const std::string& mel) {
    std::string x = subsampling(mel);
    const std::string frames = b_.node("Gather", {b_.node("Shape", {x}), b_.int64Scalar(1)},
                                       [](onnx::NodeProto& n) { Builder::intAttribute(n, "axis", 0); });
    const std::string pos = positions(frames);
    for (int i = 0; i < c_.layers; ++i) x = layer(i, x, pos, frames);
    return transpose(x, {0, 2, 1});
}

}  // namespace

OnnxEncoderWriter::OnnxEncoderWriter(ParakeetConfig config) : config_(std::move(config)) { config_.validate(); }

void OnnxEncoderWriter::write(const std::filesystem::path& file, const rarivoredu::StateDict& weights, bool int8) const {
    Builder builder(file);
    builder.input("mel", {1, ParakeetConfig::melBins, -1}, "frames");
    const std::string encoded = EncoderGraph(builder, config_, weights, int8).build("mel");
    builder.alias(encoded, "encoder");
    builder.output("encoder", {1, config_.modelWidth, -1}, "encoder_frames");
    builder.save();
}

}  // namespace testsupport
