#include <gtest/gtest.h>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/system/NSError.h"
#include "RarivOredu/shared/ASRConstants.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/shared/ZeroCopyFeatureProvider.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

MLFeatureValue array(MLMultiArray::Shape shape) {
    return MLFeatureValue::featureValueWithMultiArray(MLMultiArray::create(shape, MLMultiArrayDataType::float32));
}

TEST(ZeroCopyFeatureProviderTest, ChainPassesTheSameArrayOnUnderANewName) {
    const auto encoderOutput = array({1, 1024, 188});
    platform::MLDictionaryFeatureProvider previous({{"encoder", encoderOutput}});
    auto chained = ZeroCopyFeatureProvider::chain(previous, "encoder", "encoder_step");
    ASSERT_NE(chained, nullptr);
    EXPECT_EQ(chained->featureNames(), std::set<std::string>{"encoder_step"});
    EXPECT_EQ(chained->featureValueForName("encoder_step")->multiArrayValue().get(),
              encoderOutput.multiArrayValue().get());
    EXPECT_FALSE(chained->featureValueForName("encoder").has_value());
    EXPECT_EQ(ZeroCopyFeatureProvider::chain(previous, "missing", "x"), nullptr);
}

TEST(CompatPredictionTest, ReturnsTheModelsOutputsAndPassesItsFailureOnUnchanged) {
    auto model = platform::MLModel::withEngine(
        std::make_shared<platform::InProcessEngine>([](const platform::MLFeatureProvider& in) {
            if (!in.featureValueForName("x")) throw platform::NSError("com.example", 42, "no x");
            return platform::MLDictionaryFeatureProvider::Dictionary{{"y", MLFeatureValue::featureValueWithInt64(1)}};
        }),
        {});
    auto out = compatPrediction(*model, platform::MLDictionaryFeatureProvider({{"x", array({1})}}), {});
    EXPECT_EQ(out->featureValueForName("y")->int64Value(), 1);
    try {
        compatPrediction(*model, platform::MLDictionaryFeatureProvider(), {});
        FAIL();
    } catch (const platform::NSError& e) {
        EXPECT_EQ(e.domain(), "com.example");
        EXPECT_EQ(e.code(), 42);
    }
}

TEST(ASRConstantsTest, EncoderFramesRoundUp) {
    const std::vector<std::pair<std::int64_t, std::int64_t>> cases = {
        {0, 0}, {1, 1}, {1280, 1}, {1281, 2}, {16000, 13}, {240000, 188}};
    for (const auto& [samples, frames] : cases) EXPECT_EQ(ASRConstants::calculateEncoderFrames(samples), frames);
    EXPECT_EQ(ASRConstants::samplesPerEncoderFrame, 1280);
}

}  // namespace
}  // namespace rarivoredu
