#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/asr/parakeet/ParakeetImporter.h"
#include "tests/RarivOredu/asr/parakeet/ReferenceOutputs.h"
#include "tests/RarivOredu/asr/parakeet/TinyCheckpoint.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

namespace fs = std::filesystem;
using rarivoredu::ParakeetImporter;
using testsupport::TinyCheckpoint;

// The int8 Encoder stays close to the float one on the reference features.
TEST(ParakeetImporterTest, Int8EncoderStaysCloseToTheReference) {
    testsupport::TemporaryDirectory temp;
    const fs::path folder = temp / "Models" / "parakeet-tdt-0.6b-v3-coreml";
    ParakeetImporter::importNemo(TinyCheckpoint::nemoFile(), folder, {.int8Encoder = true});
    const auto encoder = platform::MLModel::modelWithContentsOfURL(folder / "Encoder.mlmodelc");
    const testsupport::ReferenceOutputs reference(TinyCheckpoint::fixtureFolder());
    auto length = platform::MLMultiArray::create({1}, platform::MLMultiArrayDataType::int32);
    length->setValue(0, 300);
    const auto result = encoder->predictionFromFeatures(platform::MLDictionaryFeatureProvider(
        {{"mel", platform::MLFeatureValue::featureValueWithMultiArray(reference.array("mel"))},
         {"mel_length", platform::MLFeatureValue::featureValueWithMultiArray(length)}}));
    const auto encoded = result->featureValueForName("encoder")->multiArrayValue();
    const std::vector<float> expected = reference.floats("encoder");
    ASSERT_EQ(encoded->count(), static_cast<std::int64_t>(expected.size()));
    double error = 0, norm = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        error += std::pow((*encoded)[static_cast<std::int64_t>(i)] - expected[i], 2);
        norm += std::pow(expected[i], 2);
    }
    EXPECT_LT(std::sqrt(error / norm), 0.05);
    EXPECT_GT(std::sqrt(error / norm), 0.0);  // quantised for real
}

}  // namespace
