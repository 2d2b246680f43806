#include "RarivOredu/diarization/ZeroCopyDiarizerFeatureProvider.h"

#include <gtest/gtest.h>

#include "Platform/ml/MLDictionaryFeatureProvider.h"

namespace rarivoredu {
namespace {

using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;

MLFeatureValue array(MLMultiArray::Shape shape) {
    return MLFeatureValue::featureValueWithMultiArray(MLMultiArray::create(shape, MLMultiArrayDataType::float32));
}

TEST(ZeroCopyDiarizerFeatureProviderTest, ChainAddsToTheGivenFeaturesAndBatchesPairUp) {
    const auto embedding = array({1, 256});
    platform::MLDictionaryFeatureProvider previous({{"embedding", embedding}});
    auto chained = ZeroCopyDiarizerFeatureProvider::chain(previous, "embedding", "input",
                                                          {{"input", array({1})}, {"mask", array({1, 3})}});
    ASSERT_NE(chained, nullptr);
    EXPECT_EQ(chained->featureNames(), (std::set<std::string>{"input", "mask"}));
    EXPECT_EQ(chained->featureValueForName("input")->multiArrayValue().get(), embedding.multiArrayValue().get());

    std::vector<platform::MLMultiArrayPtr> waveforms, masks;
    for (int i = 0; i < 3; ++i) waveforms.push_back(MLMultiArray::create({1, 160000}, MLMultiArrayDataType::float32));
    for (int i = 0; i < 2; ++i) masks.push_back(MLMultiArray::create({1, 589}, MLMultiArrayDataType::float32));
    const auto batch = ZeroCopyDiarizerFeatureProvider::createBatch(waveforms, masks);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[1]->featureValueForName("waveform")->multiArrayValue().get(), waveforms[1].get());
    EXPECT_EQ(batch[1]->featureValueForName("mask")->multiArrayValue().get(), masks[1].get());
}

}  // namespace
}  // namespace rarivoredu
