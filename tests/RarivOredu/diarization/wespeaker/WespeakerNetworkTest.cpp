#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/TorchScriptRuntime.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/diarization/wespeaker/KaldiFilterbank.h"
#include "RarivOredu/diarization/wespeaker/WespeakerNetwork.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/diarization/NetworkFixtures.h"

namespace {

namespace fs = std::filesystem;
using platform::arrayFeature;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using rarivoredu::CheckpointError;
using rarivoredu::KaldiFilterbank;
using rarivoredu::StateDict;
using rarivoredu::WespeakerNetwork;
using testsupport::diarizationFixture;

MLMultiArrayPtr arrayOf(const std::vector<float>& values, MLMultiArray::Shape shape) {
    auto array = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    std::copy(values.begin(), values.end(), array->data<float>());
    return array;
}

TEST(WespeakerNetworkTest, TheFilterbankGivesKaldisLogMelEnergies) {
    testsupport::TemporaryDirectory dir;
    const fs::path folder = dir.path() / "Fbank.mlmodelc";
    platform::MLModelBundle bundle;
    bundle.description.inputs = {arrayFeature("wave", {160000})};
    bundle.description.outputs = {arrayFeature("fbank", {998, 80})};
    bundle.write(folder);
    platform::TorchScriptRuntime::shared().saveScriptModule(
        folder / "model.pt",
        KaldiFilterbank::methodSource("window", "mel") +
            "\ndef forward(self, wave: Tensor) -> Dict[str, Tensor]:\n    return {\"fbank\": self.fbank(wave)}\n",
        {{"window", KaldiFilterbank::window()}, {"mel", KaldiFilterbank::melBanks()}});
    auto samples = testsupport::readWavSamples(diarizationFixture("chunk.wav"));
    for (auto& s : samples) s *= 32768.0f;
    const auto out = MLModel::modelWithContentsOfURL(folder)->predictionFromFeatures(MLDictionaryFeatureProvider(
        {{"wave", MLFeatureValue::featureValueWithMultiArray(arrayOf(samples, {160000}))}}));
    const auto fbank = out->featureValueForName("fbank")->multiArrayValue();
    ASSERT_EQ(fbank->shape(), (MLMultiArray::Shape{KaldiFilterbank::frameCount(160000), 80}));
    EXPECT_LT(testsupport::largestDifference(*fbank, testsupport::readFloats(diarizationFixture("fbank.f32"))), 1e-3f);
}

// Three rows: a chunk with a hard mask, another with soft weights, and silence with no mask (the
// bias alone, without running the network).
TEST(WespeakerNetworkTest, TheBundleEmbedsEachRowAsTheReferenceNetworkDoes) {
    const WespeakerNetwork network(StateDict::open(diarizationFixture("embedding.bin")));
    EXPECT_EQ(network.widths().channels, 8);
    EXPECT_EQ(network.widths().blocks, (std::vector<int>{3, 4, 6, 3}));
    EXPECT_EQ(network.widths().pooledFeatures, 1280);

    testsupport::TemporaryDirectory dir;
    const fs::path folder = dir.path() / "wespeaker_v2.mlmodelc";
    network.writeBundle(folder);
    const auto model = MLModel::modelWithContentsOfURL(folder);

    const auto samples = testsupport::readWavSamples(diarizationFixture("chunk.wav"));
    std::vector<float> rows(3 * 160000, 0.0f);
    std::copy(samples.begin(), samples.end(), rows.begin());
    std::reverse_copy(samples.begin(), samples.end(), rows.begin() + 160000);
    const auto out = model->predictionFromFeatures(MLDictionaryFeatureProvider(
        {{"waveform", MLFeatureValue::featureValueWithMultiArray(arrayOf(rows, {3, 160000}))},
         {"mask", MLFeatureValue::featureValueWithMultiArray(
                      arrayOf(testsupport::readFloats(diarizationFixture("mask.f32")), {3, 589}))}}));
    const auto embedding = out->featureValueForName("embedding")->multiArrayValue();
    ASSERT_EQ(embedding->shape(), (MLMultiArray::Shape{3, 256}));
    EXPECT_LT(testsupport::largestDifference(*embedding, testsupport::readFloats(diarizationFixture("embedding.f32"))),
              1e-4f);
}

TEST(WespeakerNetworkTest, WeightsOfAnotherShapeOrWithoutALayerAreRefusedByName) {
    const auto original = testsupport::stateDict(diarizationFixture("embedding.bin"));
    using Weights = std::map<std::string, MLMultiArrayPtr>;
    auto reshaped = [](Weights& w, const std::string& name, MLMultiArray::Shape shape) {
        w[name] = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    };
    struct Case {
        const char* what;
        std::function<void(Weights&)> change;
        CheckpointError::Kind kind;
        std::string name;
    };
    const std::vector<Case> cases = {
        {"a 192-value embedding", [&](Weights& w) { reshaped(w, "resnet.seg_1.weight", {192, 1280}); },
         CheckpointError::Kind::wrongShape, "resnet.seg_1.weight"},
        {"no running variance", [](Weights& w) { w.erase("resnet.layer3.2.bn1.running_var"); },
         CheckpointError::Kind::missingTensor, "resnet.layer3.2.bn1.running_var"},
        {"no shortcut where the stage narrows", [](Weights& w) { w.erase("resnet.layer2.0.shortcut.0.weight"); },
         CheckpointError::Kind::missingTensor, "resnet.layer2.0.shortcut.0.weight"},
        {"a block of other widths", [&](Weights& w) { reshaped(w, "resnet.layer4.1.conv2.weight", {64, 64, 5, 5}); },
         CheckpointError::Kind::wrongShape, "resnet.layer4.1.conv2.weight"},
        {"a stem for stereo", [&](Weights& w) { reshaped(w, "resnet.conv1.weight", {8, 2, 3, 3}); },
         CheckpointError::Kind::wrongShape, "resnet.conv1.weight"},
        {"a segmentation network", [](Weights& w) { w.erase("resnet.conv1.weight"); },
         CheckpointError::Kind::missingTensor, "resnet.conv1.weight"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Weights weights = original;
        c.change(weights);
        try {
            WespeakerNetwork network{StateDict(weights)};
            ADD_FAILURE() << "accepted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            EXPECT_EQ(error.subject(), c.name) << error.what();
        }
    }
}

}  // namespace
