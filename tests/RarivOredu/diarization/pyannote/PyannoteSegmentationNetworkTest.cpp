#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/diarization/NetworkFixtures.h"

namespace {

namespace fs = std::filesystem;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using rarivoredu::CheckpointError;
using rarivoredu::PyannoteSegmentationNetwork;
using rarivoredu::StateDict;
using testsupport::diarizationFixture;

TEST(PyannoteSegmentationNetworkTest, TheBundleScoresTheChunkAsTheReferenceNetworkDoes) {
    const PyannoteSegmentationNetwork network(StateDict::open(diarizationFixture("segmentation.bin")));
    const auto& widths = network.widths();
    EXPECT_EQ(widths.filters, 80);
    EXPECT_EQ(widths.kernel, 251);
    EXPECT_EQ(widths.convolution1, 60);
    EXPECT_EQ(widths.convolution2, 60);
    EXPECT_EQ(widths.lstmHidden, 64);
    EXPECT_EQ(widths.lstmLayers, 4);
    EXPECT_TRUE(widths.bidirectional);
    EXPECT_EQ(widths.linear, (std::vector<int>{128, 128}));

    testsupport::TemporaryDirectory dir;
    const fs::path folder = dir.path() / "pyannote_segmentation.mlmodelc";
    network.writeBundle(folder);
    const auto model = MLModel::modelWithContentsOfURL(folder);

    const auto samples = testsupport::readWavSamples(diarizationFixture("chunk.wav"));
    ASSERT_EQ(samples.size(), 160000u);
    auto audio = MLMultiArray::create({1, 1, 160000}, MLMultiArrayDataType::float32);
    std::copy(samples.begin(), samples.end(), audio->data<float>());
    const auto out = model->predictionFromFeatures(
        MLDictionaryFeatureProvider({{"audio", MLFeatureValue::featureValueWithMultiArray(audio)}}));
    const auto segments = out->featureValueForName("segments")->multiArrayValue();
    ASSERT_EQ(segments->shape(), (MLMultiArray::Shape{1, 589, 7}));
    const auto expected = testsupport::readFloats(diarizationFixture("segments.f32"));
    ASSERT_EQ(expected.size(), 589u * 7u);
    EXPECT_LT(testsupport::largestDifference(*segments, expected), 1e-4f);
}

// Weights of another network, or of this one with a layer missing or reshaped, are refused by name.
TEST(PyannoteSegmentationNetworkTest, WeightsOfAnotherShapeOrWithoutALayerAreRefusedByName) {
    const auto original = testsupport::stateDict(diarizationFixture("segmentation.bin"));
    using Weights = std::map<std::string, platform::MLMultiArrayPtr>;
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
        {"no classifier bias", [](Weights& w) { w.erase("classifier.bias"); }, CheckpointError::Kind::missingTensor,
         "classifier.bias"},
        {"six classes", [&](Weights& w) { reshaped(w, "classifier.weight", {6, 128}); },
         CheckpointError::Kind::wrongShape, "classifier.weight"},
        {"a narrower third LSTM layer", [&](Weights& w) { reshaped(w, "lstm.weight_hh_l2", {256, 32}); },
         CheckpointError::Kind::wrongShape, "lstm.weight_hh_l2"},
        {"no reverse direction in the last layer", [](Weights& w) { w.erase("lstm.bias_hh_l3_reverse"); },
         CheckpointError::Kind::missingTensor, "lstm.bias_hh_l3_reverse"},
        {"filters of another length", [&](Weights& w) { reshaped(w, "sincnet.conv1d.0.filterbank.n_", {1, 100}); },
         CheckpointError::Kind::wrongShape, "sincnet.conv1d.0.filterbank.n_"},
        {"no sinc filters (another network)", [](Weights& w) { w.erase("sincnet.conv1d.0.filterbank.low_hz_"); },
         CheckpointError::Kind::missingTensor, "sincnet.conv1d.0.filterbank.low_hz_"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Weights weights = original;
        c.change(weights);
        try {
            PyannoteSegmentationNetwork network{StateDict(weights)};
            ADD_FAILURE() << "accepted";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            EXPECT_EQ(error.subject(), c.name) << error.what();
        }
    }
}

}  // namespace
