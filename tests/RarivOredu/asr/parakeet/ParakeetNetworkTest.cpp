#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/TdtConfig.h"
#include "RarivOredu/asr/TdtDecoderV3.h"
#include "RarivOredu/asr/parakeet/ParakeetNetwork.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "tests/RarivOredu/asr/parakeet/ReferenceOutputs.h"
#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using rarivoredu::ParakeetConfig;
using rarivoredu::ParakeetNetwork;
using Module = ParakeetNetwork::Module;

using Inputs = std::map<std::string, MLMultiArrayPtr>;

std::shared_ptr<platform::MLFeatureProvider> run(const MLModel& model, const Inputs& inputs) {
    MLDictionaryFeatureProvider::Dictionary values;
    for (const auto& [name, array] : inputs) values.emplace(name, MLFeatureValue::featureValueWithMultiArray(array));
    return model.predictionFromFeatures(MLDictionaryFeatureProvider(std::move(values)));
}

MLMultiArrayPtr output(const std::shared_ptr<platform::MLFeatureProvider>& result, const std::string& name) {
    const auto value = result->featureValueForName(name);
    if (!value || !value->multiArrayValue()) throw std::runtime_error("no output " + name);
    return value->multiArrayValue();
}

std::vector<float> values(const MLMultiArray& array) {
    std::vector<float> v(static_cast<std::size_t>(array.count()));
    for (std::int64_t i = 0; i < array.count(); ++i) v[static_cast<std::size_t>(i)] = static_cast<float>(array[i]);
    return v;
}

MLMultiArrayPtr intArray(MLMultiArray::Shape shape, int value) {
    auto a = MLMultiArray::create(shape, MLMultiArrayDataType::int32);
    a->fill(value);
    return a;
}

// The largest |a - b| over the [.., D, T] arrays' first `frames` frames.
double maxFrameDifference(const std::vector<float>& a, const std::vector<float>& b, std::int64_t rows,
                          std::int64_t columns, std::int64_t frames) {
    double worst = 0;
    for (std::int64_t r = 0; r < rows; ++r) {
        for (std::int64_t t = 0; t < frames; ++t) {
            const auto i = static_cast<std::size_t>(r * columns + t);
            worst = std::max(worst, std::abs(static_cast<double>(a[i]) - b[i]));
        }
    }
    return worst;
}

double maxDifference(const std::vector<float>& a, const std::vector<float>& b) {
    EXPECT_EQ(a.size(), b.size());
    return maxFrameDifference(a, b, 1, static_cast<std::int64_t>(a.size()), static_cast<std::int64_t>(a.size()));
}

// The tiny checkpoint converted once for all tests, with the joint's raw logits exposed.
class ParakeetNetworkTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        checkpoint_ = new testsupport::TinyCheckpoint();
        reference_ = new testsupport::ReferenceOutputs(testsupport::TinyCheckpoint::fixtureFolder());
        folder_ = new testsupport::TemporaryDirectory();
        const ParakeetNetwork network(checkpoint_->config());
        ParakeetNetwork::Options options;
        options.jointLogits = true;
        for (const Module module : ParakeetNetwork::modules) {
            network.write(module, folder_->path() / ParakeetNetwork::bundleName(module), checkpoint_->weights(), options);
        }
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete reference_;
        delete checkpoint_;
    }

    static std::shared_ptr<MLModel> load(Module module) {
        return MLModel::modelWithContentsOfURL(folder_->path() / ParakeetNetwork::bundleName(module));
    }

    static testsupport::TinyCheckpoint* checkpoint_;
    static testsupport::ReferenceOutputs* reference_;
    static testsupport::TemporaryDirectory* folder_;
};

testsupport::TinyCheckpoint* ParakeetNetworkTest::checkpoint_ = nullptr;
testsupport::ReferenceOutputs* ParakeetNetworkTest::reference_ = nullptr;
testsupport::TemporaryDirectory* ParakeetNetworkTest::folder_ = nullptr;

// Whole 3 s buffer, and the same audio in the recogniser's 15 s window. The reference pads with
// zeros; here the samples after the length hold a loud tone, which must change nothing.
struct WindowCase {
    std::string suffix;
    std::int64_t samples;
};
const WindowCase kWindows[] = {{"", 48000}, {"_padded", 240000}};

TEST_F(ParakeetNetworkTest, FrontEndAndEncoderMatchTheReferenceInBothWindows) {
    const auto preprocessor = load(Module::preprocessor);
    const auto encoder = load(Module::encoder);
    const std::vector<float> audio = reference_->floats("audio");
    for (const auto& window : kWindows) {
        SCOPED_TRACE(window.samples);
        auto signal = MLMultiArray::create({1, window.samples}, MLMultiArrayDataType::float32);
        std::copy(audio.begin(), audio.end(), signal->data<float>());
        for (std::int64_t i = 48000; i < window.samples; ++i) signal->data<float>()[i] = 0.5f * std::sin(0.05f * i);
        const auto mel = run(*preprocessor, {{"audio_signal", signal}, {"audio_length", intArray({1}, 48000)}});
        const auto melShape = reference_->shape("mel" + window.suffix);
        EXPECT_EQ(output(mel, "mel")->shape(), melShape);
        EXPECT_EQ(values(*output(mel, "mel_length")), std::vector<float>{300});
        EXPECT_LT(maxDifference(values(*output(mel, "mel")), reference_->floats("mel" + window.suffix)), 2e-4);

        // The encoder on the reference features, so that its own error is measured.
        const auto encoded = run(*encoder, {{"mel", reference_->array("mel" + window.suffix)},
                                            {"mel_length", intArray({1}, 300)}});
        const auto expectedShape = reference_->shape("encoder" + window.suffix);
        ASSERT_EQ(output(encoded, "encoder")->shape(), expectedShape);
        EXPECT_EQ(values(*output(encoded, "encoder_length")), std::vector<float>{38});
        EXPECT_LT(maxFrameDifference(values(*output(encoded, "encoder")), reference_->floats("encoder" + window.suffix),
                                     expectedShape[1], expectedShape[2], 38),
                  1e-4);
    }
}

TEST_F(ParakeetNetworkTest, DecoderAndJointMatchTheReference) {
    const auto decoder = load(Module::decoder);
    const auto joint = load(Module::joint);
    const int hidden = checkpoint_->config().predictionWidth;
    const int blank = checkpoint_->config().blankId();
    auto zeros = MLMultiArray::create({2, 1, hidden}, MLMultiArrayDataType::float32);

    const auto start = run(*decoder, {{"targets", intArray({1, 1}, blank)}, {"target_length", intArray({1}, 1)},
                                      {"h_in", zeros}, {"c_in", zeros}});
    const auto token5 = run(*decoder, {{"targets", intArray({1, 1}, 5)}, {"target_length", intArray({1}, 1)},
                                       {"h_in", output(start, "h_out")}, {"c_in", output(start, "c_out")}});
    for (const auto& [result, name] : {std::pair{start, std::string("sos")}, std::pair{token5, std::string("token5")}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(output(result, "decoder")->shape(), (MLMultiArray::Shape{1, hidden, 1}));
        EXPECT_LT(maxDifference(values(*output(result, "decoder")), reference_->floats("decoder_" + name)), 1e-5);
        EXPECT_LT(maxDifference(values(*output(result, "h_out")), reference_->floats("h_" + name)), 1e-5);
        EXPECT_LT(maxDifference(values(*output(result, "c_out")), reference_->floats("c_" + name)), 1e-5);
    }

    // Every encoder frame with both decoder outputs: raw logits, and the decisions taken from them.
    const std::vector<float> encoded = reference_->floats("encoder");
    const int width = checkpoint_->config().modelWidth, frames = 38, outputs = checkpoint_->config().jointOutputs();
    for (const auto& name : {std::string("sos"), std::string("token5")}) {
        SCOPED_TRACE(name);
        auto step = MLMultiArray::create({1, hidden, 1}, MLMultiArrayDataType::float32);
        const auto projection = reference_->floats("decoder_" + name);
        std::copy(projection.begin(), projection.end(), step->data<float>());
        const std::vector<float> expected = reference_->floats("joint_logits_" + name);
        for (int t = 0; t < frames; ++t) {
            auto frame = MLMultiArray::create({1, width, 1}, MLMultiArrayDataType::float32);
            for (int d = 0; d < width; ++d) frame->data<float>()[d] = encoded[static_cast<std::size_t>(d * frames + t)];
            const auto result = run(*joint, {{"encoder_step", frame}, {"decoder_step", step}});
            const std::vector<float> row(expected.begin() + t * outputs, expected.begin() + (t + 1) * outputs);
            EXPECT_LT(maxDifference(values(*output(result, "logits")), row), 1e-4) << "frame " << t;
            const auto tokens = row.begin() + checkpoint_->config().tokenCount();
            EXPECT_EQ((*output(result, "token_id"))[0], std::max_element(row.begin(), tokens) - row.begin());
            EXPECT_EQ((*output(result, "duration"))[0], std::max_element(tokens, row.end()) - tokens);
        }
    }
}

// The recogniser's decoder fixes the encoder and decoder widths. Zero rows and columns carry
// the tiny network exactly into those widths: padded LSTM units stay at 0 (i = f = o = ½, g = 0
// from zero state), and zero encoder rows meet zero projection columns.
MLMultiArrayPtr padded(const MLMultiArrayPtr& tensor, const MLMultiArray::Shape& shape, int rowBlocks) {
    auto result = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    const auto& from = tensor->shape();
    const std::int64_t rows = from[0], columns = from.size() > 1 ? from[1] : 1;
    const std::int64_t toColumns = shape.size() > 1 ? shape[1] : 1;
    const std::int64_t blockRows = rows / rowBlocks, toBlockRows = shape[0] / rowBlocks;
    for (std::int64_t r = 0; r < rows; ++r) {
        const std::int64_t to = (r / blockRows) * toBlockRows + r % blockRows;
        for (std::int64_t c = 0; c < columns; ++c) {
            result->data<float>()[to * toColumns + c] = tensor->data<float>()[r * columns + c];
        }
    }
    return result;
}

TEST_F(ParakeetNetworkTest, RecognisersGreedyDecoderEmitsTheReferenceTokens) {
    ParakeetConfig wide = checkpoint_->config();
    wide.modelWidth = rarivoredu::ASRConstants::encoderHiddenSize;
    wide.predictionWidth = rarivoredu::ASRConstants::decoderHiddenSize;
    const ParakeetNetwork widened(wide);
    const auto original = checkpoint_->weights();
    // The tiny decoder's and joint's tensors, padded to the widened shapes.
    std::map<std::string, MLMultiArrayPtr> paddedTensors;
    const ParakeetNetwork tiny(checkpoint_->config());
    for (const Module module : {Module::decoder, Module::joint}) {
        const auto wideSpecs = widened.tensors(module);
        const auto tinySpecs = tiny.tensors(module);
        for (std::size_t i = 0; i < tinySpecs.size(); ++i) {
            const auto& spec = tinySpecs[i];
            const bool gates = spec.name.find("dec_rnn") != std::string::npos;
            paddedTensors[spec.name] = padded(original.require(spec.name, spec.shape), wideSpecs[i].shape, gates ? 4 : 1);
        }
    }
    const rarivoredu::StateDict source(std::move(paddedTensors));
    testsupport::TemporaryDirectory folder;
    widened.write(Module::decoder, folder / "Decoder.mlmodelc", source);
    widened.write(Module::joint, folder / "JointDecision.mlmodelc", source);
    const auto decoder = MLModel::modelWithContentsOfURL(folder / "Decoder.mlmodelc");
    const auto joint = MLModel::modelWithContentsOfURL(folder / "JointDecision.mlmodelc");

    rarivoredu::TdtConfig config;
    config.blankId = checkpoint_->config().blankId();
    const rarivoredu::TdtDecoderV3 greedy(rarivoredu::AppLogger("test"), config);
    for (const auto& window : kWindows) {
        SCOPED_TRACE(window.samples);
        const auto shape = reference_->shape("encoder" + window.suffix);
        const std::vector<float> encoded = reference_->floats("encoder" + window.suffix);
        auto frames = MLMultiArray::create({1, wide.modelWidth, shape[2]}, MLMultiArrayDataType::float32);
        std::copy(encoded.begin(), encoded.end(), frames->data<float>());
        const int length = reference_->ints("encoder_length" + window.suffix)[0];
        rarivoredu::TdtDecoderState state;
        const auto hypothesis = greedy.decode(frames, length, length, *decoder, *joint, state, 0, false, 0);
        EXPECT_EQ(hypothesis.ySequence, reference_->ints("greedy_tokens" + window.suffix));
        EXPECT_EQ(hypothesis.timestamps, reference_->ints("greedy_timestamps" + window.suffix));
    }
}

}  // namespace
