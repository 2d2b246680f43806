#include "tests/support/asr/AsrNetworkModels.h"

#include <cblas.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"

namespace testsupport {
namespace fs = std::filesystem;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using rarivoredu::ParakeetConfig;
using rarivoredu::ParakeetNetwork;
using Module = ParakeetNetwork::Module;
using Tensors = std::map<std::string, MLMultiArrayPtr>;

namespace {

constexpr int kSampleRate = 16000;

// Uniform weights from splitmix64: the same numbers on every machine.
class WeightSource {
public:
    explicit WeightSource(std::uint64_t seed) : state_(seed) {}

    MLMultiArrayPtr uniform(const MLMultiArray::Shape& shape, double bound) {
        auto a = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
        float* p = a->data<float>();
        const auto scale = static_cast<float>(bound / 8388608.0);  // 2^23: 24 bits to [-bound, bound)
        for (std::int64_t i = 0, n = a->count(); i < n; ++i) {
            p[i] = static_cast<float>(static_cast<std::int64_t>(next() >> 40) - 8388608) * scale;
        }
        return a;
    }

private:
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::uint64_t state_;
};

MLMultiArrayPtr filled(const MLMultiArray::Shape& shape, float value) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    std::fill_n(a->data<float>(), a->count(), value);
    return a;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The checkpoints' filterbank: triangles on the Slaney mel scale (linear below 1 kHz, logarithmic
// above), each scaled to unit area, over the one-sided spectrum of a 512-point transform.
MLMultiArrayPtr slaneyFilterbank() {
    const int mels = ParakeetConfig::melBins, bins = ParakeetConfig::fftSize / 2 + 1;
    const double step = 200.0 / 3, logStep = std::log(6.4) / 27.0;
    auto toMel = [&](double hz) { return hz < 1000 ? hz / step : 15 + std::log(hz / 1000) / logStep; };
    auto toHz = [&](double mel) { return mel < 15 ? mel * step : 1000 * std::exp(logStep * (mel - 15)); };
    std::vector<double> edges(mels + 2);
    for (int i = 0; i < mels + 2; ++i) edges[i] = toHz(toMel(kSampleRate / 2.0) * i / (mels + 1));
    auto bank = MLMultiArray::create({1, mels, bins}, MLMultiArrayDataType::float32);
    for (int m = 0; m < mels; ++m) {
        const double area = 2.0 / (edges[m + 2] - edges[m]);
        for (int k = 0; k < bins; ++k) {
            const double f = static_cast<double>(k) * kSampleRate / ParakeetConfig::fftSize;
            const double rising = (f - edges[m]) / (edges[m + 1] - edges[m]);
            const double falling = (edges[m + 2] - f) / (edges[m + 2] - edges[m + 1]);
            bank->data<float>()[m * bins + k] = static_cast<float>(std::max(0.0, std::min(rising, falling)) * area);
        }
    }
    return bank;
}

MLMultiArrayPtr hannWindow() {
    const int n = ParakeetConfig::windowLength;
    auto window = MLMultiArray::create({n}, MLMultiArrayDataType::float32);
    for (int i = 0; i < n; ++i) window->data<float>()[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * M_PI * i / (n - 1)));
    return window;
}

// Syllables as token texts; every third token starts a word.
std::vector<std::string> syllables(int count) {
    static const char* const onsets[] = {"", "b", "d", "f", "g", "k", "l", "m", "n", "p", "r", "s", "t", "v"};
    static const char* const vowels[] = {"a", "e", "i", "o", "u", "ai", "ou"};
    std::vector<std::string> pieces;
    for (int id = 0; id < count; ++id) {
        std::string text = id % 3 == 0 ? "\xE2\x96\x81" : "";
        text += onsets[id % 14];
        text += vowels[(id / 14) % 7];
        if (id >= 98) text += onsets[(id / 98) % 14];
        pieces.push_back(std::move(text));
    }
    return pieces;
}

std::shared_ptr<platform::MLFeatureProvider> run(const platform::MLModel& model,
                                                 const std::map<std::string, MLMultiArrayPtr>& inputs) {
    platform::MLDictionaryFeatureProvider::Dictionary values;
    for (const auto& [name, array] : inputs) {
        values.emplace(name, platform::MLFeatureValue::featureValueWithMultiArray(array));
    }
    return model.predictionFromFeatures(platform::MLDictionaryFeatureProvider(std::move(values)));
}

MLMultiArrayPtr output(const std::shared_ptr<platform::MLFeatureProvider>& result, const std::string& name) {
    return result->featureValueForName(name)->multiArrayValue();
}

MLMultiArrayPtr int32Scalar(MLMultiArray::Shape shape, int value) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::int32);
    a->fill(value);
    return a;
}

// Random weights leave the blank's share of the steps to chance. The blank's bias is set so that
// it wins on three steps in four on speech-like noise, over a few decoder states: the written
// Preprocessor, Encoder and Decoder run, the joint's logits are computed here.
void calibrateBlank(Tensors& weights, const ParakeetConfig& config, const fs::path& folder, WeightSource& random) {
    const auto preprocessor = platform::MLModel::modelWithContentsOfURL(folder / "Preprocessor.mlmodelc");
    const auto encoder = platform::MLModel::modelWithContentsOfURL(folder / "Encoder.mlmodelc");
    const auto decoder = platform::MLModel::modelWithContentsOfURL(folder / "Decoder.mlmodelc");
    const int samples = 15 * kSampleRate;
    auto audio = random.uniform({1, samples}, 0.1);
    for (int i = 0; i < samples; ++i) audio->data<float>()[i] *= static_cast<float>(std::pow(std::sin(2 * M_PI * 2.0 * i / kSampleRate), 2));
    const auto mel = run(*preprocessor, {{"audio_signal", audio}, {"audio_length", int32Scalar({1}, samples)}});
    const auto encoded = output(run(*encoder, {{"mel", output(mel, "mel")}, {"mel_length", output(mel, "mel_length")}}),
                                "encoder");
    const int D = config.modelWidth, H = config.predictionWidth, J = config.jointWidth;
    const int T = static_cast<int>(encoded->shape()[2]), outputs = config.jointOutputs(), blank = config.blankId();

    // Encoder projections [T, J] = framesᵀ [T, D] · encᵀ + bias.
    std::vector<float> frames(static_cast<std::size_t>(T) * D);
    for (int t = 0; t < T; ++t) {
        for (int d = 0; d < D; ++d) frames[static_cast<std::size_t>(t) * D + d] = static_cast<float>(encoded->valueAt({0, d, t}));
    }
    std::vector<float> projected(static_cast<std::size_t>(T) * J);
    cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, T, J, D, 1.0f, frames.data(), D,
                weights.at("joint.enc.weight")->data<float>(), D, 0.0f, projected.data(), J);
    auto& outBias = *weights.at("joint.joint_net.2.bias");
    outBias.data<float>()[blank] = 0.0f;

    std::vector<float> margins;
    auto zeros = MLMultiArray::create({ParakeetConfig::predictionLayers, 1, H}, MLMultiArrayDataType::float32);
    for (const int token : {blank, 7, 130, 1999, 5021}) {
        const auto step = output(run(*decoder, {{"targets", int32Scalar({1, 1}, std::min(token, blank))},
                                                {"target_length", int32Scalar({1}, 1)},
                                                {"h_in", zeros},
                                                {"c_in", zeros}}),
                                 "decoder");
        std::vector<float> g(static_cast<std::size_t>(J));
        for (int j = 0; j < J; ++j) {
            double sum = weights.at("joint.pred.bias")->data<float>()[j];
            for (int h = 0; h < H; ++h) sum += weights.at("joint.pred.weight")->data<float>()[j * H + h] * (*step)[h];
            g[static_cast<std::size_t>(j)] = static_cast<float>(sum);
        }
        std::vector<float> hidden(static_cast<std::size_t>(T) * J), logits(static_cast<std::size_t>(T) * outputs);
        for (int t = 0; t < T; ++t) {
            for (int j = 0; j < J; ++j) {
                const float v = projected[static_cast<std::size_t>(t) * J + j] + weights.at("joint.enc.bias")->data<float>()[j] + g[j];
                hidden[static_cast<std::size_t>(t) * J + j] = std::max(v, 0.0f);
            }
        }
        cblas_sgemm(CblasRowMajor, CblasNoTrans, CblasTrans, T, outputs, J, 1.0f, hidden.data(), J,
                    weights.at("joint.joint_net.2.weight")->data<float>(), J, 0.0f, logits.data(), outputs);
        for (int t = 0; t < T; ++t) {
            float* row = logits.data() + static_cast<std::size_t>(t) * outputs;
            for (int o = 0; o < outputs; ++o) row[o] += outBias.data<float>()[o];
            margins.push_back(*std::max_element(row, row + blank) - row[blank]);
        }
    }
    std::sort(margins.begin(), margins.end());
    const double position = 0.75 * static_cast<double>(margins.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const double share = position - static_cast<double>(below);
    const double quantile = margins[below] + share * (margins[std::min(below + 1, margins.size() - 1)] - margins[below]);
    outBias.data<float>()[blank] = static_cast<float>(quantile);
}

}  // namespace

ParakeetConfig AsrNetworkModels::config() const {
    ParakeetConfig c;
    c.layers = shape.layers;
    c.heads = shape.heads;
    c.feedForwardWidth = shape.feedForward;
    c.subsamplingChannels = shape.subsamplingChannels;
    c.convolutionKernel = shape.convolutionKernel;
    c.vocabulary = syllables(8192);
    return c;
}

Tensors AsrNetworkModels::stateDict() const {
    const ParakeetNetwork network(config());
    WeightSource random(seed);
    Tensors weights;
    for (const auto& spec : network.allTensors()) {
        if (spec.integer) continue;
        const std::string& name = spec.name;
        const auto& shape = spec.shape;
        std::int64_t fanIn = 1;
        for (std::size_t i = 1; i < shape.size(); ++i) fanIn *= shape[i];
        MLMultiArrayPtr value;
        if (name == "preprocessor.featurizer.fb") {
            value = slaneyFilterbank();
        } else if (name == "preprocessor.featurizer.window") {
            value = hannWindow();
        } else if (name.find(".norm_") != std::string::npos || endsWith(name, "batch_norm.weight") ||
                   endsWith(name, "running_var")) {
            value = filled(shape, endsWith(name, ".bias") ? 0.0f : 1.0f);
        } else if (endsWith(name, "running_mean") || endsWith(name, "batch_norm.bias")) {
            value = filled(shape, 0.0f);
        } else if (name.find("pos_bias") != std::string::npos) {
            value = random.uniform(shape, 0.1);
        } else if (name == "decoder.prediction.embed.weight") {
            value = random.uniform(shape, 1.0);
            std::fill_n(value->data<float>() + (shape[0] - 1) * shape[1], shape[1], 0.0f);  // the blank's row
        } else if (name.find("lstm.bias") != std::string::npos) {
            value = random.uniform(shape, 0.05);
        } else if (shape.size() == 1) {
            value = random.uniform(shape, name.find("pre_encode.conv") != std::string::npos ? 0.0 : 0.02);
        } else {
            value = random.uniform(shape, std::sqrt(3.0 / static_cast<double>(fanIn)));  // unit gain
        }
        weights.emplace(name, std::move(value));
    }
    return weights;
}

void AsrNetworkModels::write(const fs::path& folder) const {
    const ParakeetConfig c = config();
    const ParakeetNetwork network(c);
    Tensors weights = stateDict();
    WeightSource calibration(seed ^ 0x5DEECE66DULL);
    ParakeetNetwork::Options options;
    options.int8Encoder = precision == Precision::int8;
    options.threading = threading;
    fs::create_directories(folder);
    const rarivoredu::StateDict source(weights);
    for (const Module module : {Module::preprocessor, Module::encoder, Module::decoder}) {
        network.write(module, folder / ParakeetNetwork::bundleName(module), source, options);
    }
    calibrateBlank(weights, c, folder, calibration);
    network.write(Module::joint, folder / ParakeetNetwork::bundleName(Module::joint),
                  rarivoredu::StateDict(weights), options);
    std::ofstream(folder / "parakeet_vocab.json", std::ios::binary | std::ios::trunc) << network.vocabularyJson();
}

}  // namespace testsupport
