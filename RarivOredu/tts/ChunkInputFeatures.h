#pragma once

#include <optional>
#include <set>
#include <string>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu::KokoroSynthesizer {

// The four inputs of one chunk prediction, by their model names, held without a map so that a
// prediction's inputs cost no allocation.
class ChunkInputFeatures : public platform::MLFeatureProvider {
public:
    ChunkInputFeatures(platform::MLMultiArrayPtr inputIds, platform::MLMultiArrayPtr attentionMask,
                       platform::MLMultiArrayPtr refS, platform::MLMultiArrayPtr randomPhases);

    std::set<std::string> featureNames() const override;
    std::optional<platform::MLFeatureValue> featureValueForName(const std::string& name) const override;

private:
    platform::MLFeatureValue inputIds_;
    platform::MLFeatureValue attentionMask_;
    platform::MLFeatureValue refS_;
    platform::MLFeatureValue randomPhases_;
};

}  // namespace rarivoredu::KokoroSynthesizer
