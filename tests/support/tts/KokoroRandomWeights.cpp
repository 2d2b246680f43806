#include "tests/support/tts/KokoroRandomWeights.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

namespace {

using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using Shape = std::vector<std::int64_t>;

class Builder {
public:
    explicit Builder(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

    float uniform() {  // in [-1, 1)
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<float>(state_ >> 40) / static_cast<float>(1ull << 23) - 1.0f;
    }

    void fill(const std::string& name, const Shape& shape, float scale, float offset = 0) {
        auto array = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
        float* data = array->data<float>();
        for (std::int64_t i = 0; i < array->count(); ++i) data[i] = offset + scale * uniform();
        tensors[name] = array;
    }
    void weight(const std::string& name, const Shape& shape) {
        std::int64_t fanIn = 1;
        for (std::size_t i = 1; i < shape.size(); ++i) fanIn *= shape[i];
        fill(name, shape, 1.0f / std::sqrt(static_cast<float>(fanIn)));
    }
    void bias(const std::string& name, std::int64_t n) { fill(name, {n}, 0.02f); }
    void linear(const std::string& p, std::int64_t out, std::int64_t in) {
        weight(p + ".weight", {out, in});
        bias(p + ".bias", out);
    }
    void norm(const std::string& p, std::int64_t n, const char* w = "weight", const char* b = "bias") {
        fill(p + "." + w, {n}, 0.1f, 1.0f);
        fill(p + "." + b, {n}, 0.02f);
    }
    // A weight-normed convolution: weight_v random, weight_g its row norms (so the weight is v).
    void normedConv(const std::string& p, const Shape& shape, bool withBias = true, std::int64_t biasSize = -1) {
        weight(p + ".weight_v", shape);
        const auto& v = *tensors[p + ".weight_v"];
        auto g = MLMultiArray::create({shape[0], 1, 1}, MLMultiArrayDataType::float32);
        const std::int64_t row = v.count() / shape[0];
        for (std::int64_t r = 0; r < shape[0]; ++r) {
            double sum = 0;
            for (std::int64_t i = 0; i < row; ++i) sum += double(v.data<float>()[r * row + i]) * v.data<float>()[r * row + i];
            g->data<float>()[r] = static_cast<float>(std::sqrt(sum));
        }
        tensors[p + ".weight_g"] = g;
        if (withBias) bias(p + ".bias", biasSize < 0 ? shape[0] : biasSize);
    }
    void lstm(const std::string& p, std::int64_t in, std::int64_t hidden) {
        for (const char* d : {"", "_reverse"}) {
            weight(p + ".weight_ih_l0" + d, {4 * hidden, in});
            weight(p + ".weight_hh_l0" + d, {4 * hidden, hidden});
            bias(p + ".bias_ih_l0" + d, 4 * hidden);
            bias(p + ".bias_hh_l0" + d, 4 * hidden);
        }
    }
    void adain(const std::string& p, std::int64_t style, std::int64_t channels) {
        norm(p + ".norm", channels);
        fill(p + ".fc.weight", {2 * channels, style}, 0.02f);
        bias(p + ".fc.bias", 2 * channels);
    }
    void resblk(const std::string& p, std::int64_t in, std::int64_t out, std::int64_t style, bool upsample) {
        normedConv(p + ".conv1", {out, in, 3});
        normedConv(p + ".conv2", {out, out, 3});
        adain(p + ".norm1", style, in);
        adain(p + ".norm2", style, out);
        if (in != out) normedConv(p + ".conv1x1", {out, in, 1}, false);
        if (upsample) normedConv(p + ".pool", {in, 1, 3});
    }
    void snake(const std::string& p, std::int64_t channels, std::int64_t kernel, std::int64_t style) {
        for (int j = 0; j < 3; ++j) {
            const std::string i = std::to_string(j);
            normedConv(p + ".convs1." + i, {channels, channels, kernel});
            normedConv(p + ".convs2." + i, {channels, channels, kernel});
            adain(p + ".adain1." + i, style, channels);
            adain(p + ".adain2." + i, style, channels);
            fill(p + ".alpha1." + i, {1, channels, 1}, 0.1f, 1.0f);
            fill(p + ".alpha2." + i, {1, channels, 1}, 0.1f, 1.0f);
        }
    }

    std::map<std::string, platform::MLMultiArrayPtr> tensors;

private:
    std::uint64_t state_;
};

}  // namespace

rarivoredu::StateDict KokoroRandomWeights::make(const Widths& w, std::uint64_t seed) {
    Builder b(seed);
    // Text model.
    b.weight("bert.embeddings.word_embeddings.weight", {w.tokens, w.bertEmbedding});
    b.weight("bert.embeddings.position_embeddings.weight", {w.positions, w.bertEmbedding});
    b.weight("bert.embeddings.token_type_embeddings.weight", {2, w.bertEmbedding});
    b.norm("bert.embeddings.LayerNorm", w.bertEmbedding);
    b.linear("bert.encoder.embedding_hidden_mapping_in", w.bertHidden, w.bertEmbedding);
    const std::string layer = "bert.encoder.albert_layer_groups.0.albert_layers.0.";
    b.norm(layer + "full_layer_layer_norm", w.bertHidden);
    for (const char* name : {"query", "key", "value", "dense"}) {
        b.linear(layer + "attention." + name, w.bertHidden, w.bertHidden);
    }
    b.norm(layer + "attention.LayerNorm", w.bertHidden);
    b.linear(layer + "ffn", w.bertIntermediate, w.bertHidden);
    b.linear(layer + "ffn_output", w.bertHidden, w.bertIntermediate);
    b.linear("bert.pooler", w.bertHidden, w.bertHidden);
    b.linear("bert_encoder", w.hidden, w.bertHidden);

    // Prosody predictor.
    const int half = w.hidden / 2;
    for (int l = 0; l < w.layers; ++l) {
        b.lstm("predictor.text_encoder.lstms." + std::to_string(2 * l), w.hidden + w.style, half);
        b.linear("predictor.text_encoder.lstms." + std::to_string(2 * l + 1) + ".fc", 2 * w.hidden, w.style);
    }
    b.lstm("predictor.lstm", w.hidden + w.style, half);
    b.linear("predictor.duration_proj.linear_layer", w.maxDuration, w.hidden);
    b.fill("predictor.duration_proj.linear_layer.bias", {w.maxDuration}, 0.3f, -3.5f);
    b.lstm("predictor.shared", w.hidden + w.style, half);
    for (const std::string branch : {"F0", "N"}) {
        b.resblk("predictor." + branch + ".0", w.hidden, w.hidden, w.style, false);
        b.resblk("predictor." + branch + ".1", w.hidden, half, w.style, true);
        b.resblk("predictor." + branch + ".2", half, half, w.style, false);
        b.weight("predictor." + branch + "_proj.weight", {1, half, 1});
        b.bias("predictor." + branch + "_proj.bias", 1);
    }
    b.fill("predictor.F0_proj.bias", {1}, 0.0f, 150.0f);

    // Text encoder.
    b.weight("text_encoder.embedding.weight", {w.tokens, w.hidden});
    for (int l = 0; l < w.layers; ++l) {
        const std::string p = "text_encoder.cnn." + std::to_string(l);
        b.normedConv(p + ".0", {w.hidden, w.hidden, w.textKernel});
        b.norm(p + ".1", w.hidden, "gamma", "beta");
    }
    b.lstm("text_encoder.lstm", w.hidden, half);

    // Decoder.
    const std::int64_t joined = w.decoder + 2 + w.asrResidual;
    b.resblk("decoder.encode", w.hidden + 2, w.decoder, w.style, false);
    for (int j = 0; j < 3; ++j) b.resblk("decoder.decode." + std::to_string(j), joined, w.decoder, w.style, false);
    b.resblk("decoder.decode.3", joined, w.generator, w.style, true);
    b.normedConv("decoder.F0_conv", {1, 1, 3});
    b.normedConv("decoder.N_conv", {1, 1, 3});
    b.normedConv("decoder.asr_res.0", {w.asrResidual, w.hidden, 1});
    const std::string g = "decoder.generator";
    b.linear(g + ".m_source.l_linear", 1, 9);
    const std::int64_t c1 = w.generator / 2, c2 = w.generator / 4;
    b.weight(g + ".noise_convs.0.weight", {c1, 22, 12});
    b.bias(g + ".noise_convs.0.bias", c1);
    b.weight(g + ".noise_convs.1.weight", {c2, 22, 1});
    b.bias(g + ".noise_convs.1.bias", c2);
    b.snake(g + ".noise_res.0", c1, 7, w.style);
    b.snake(g + ".noise_res.1", c2, 11, w.style);
    b.normedConv(g + ".ups.0", {w.generator, c1, 20}, true, c1);
    b.normedConv(g + ".ups.1", {c1, c2, 12}, true, c2);
    const int kernels[] = {3, 7, 11};
    for (int j = 0; j < 3; ++j) {
        b.snake(g + ".resblocks." + std::to_string(j), c1, kernels[j], w.style);
        b.snake(g + ".resblocks." + std::to_string(3 + j), c2, kernels[j], w.style);
    }
    b.normedConv(g + ".conv_post", {22, c2, 7});
    return rarivoredu::StateDict(std::move(b.tensors));
}

}  // namespace testsupport
