#include "RarivOredu/tts/ChunkInputFeatures.h"

namespace rarivoredu::KokoroSynthesizer {

using platform::MLFeatureValue;

ChunkInputFeatures::ChunkInputFeatures(platform::MLMultiArrayPtr inputIds, platform::MLMultiArrayPtr attentionMask,
                                       platform::MLMultiArrayPtr refS, platform::MLMultiArrayPtr randomPhases)
    : inputIds_(MLFeatureValue::featureValueWithMultiArray(std::move(inputIds))),
      attentionMask_(MLFeatureValue::featureValueWithMultiArray(std::move(attentionMask))),
      refS_(MLFeatureValue::featureValueWithMultiArray(std::move(refS))),
      randomPhases_(MLFeatureValue::featureValueWithMultiArray(std::move(randomPhases))) {}

std::set<std::string> ChunkInputFeatures::featureNames() const {
    return {"input_ids", "attention_mask", "ref_s", "random_phases"};
}

std::optional<MLFeatureValue> ChunkInputFeatures::featureValueForName(const std::string& name) const {
    if (name == "input_ids") return inputIds_;
    if (name == "attention_mask") return attentionMask_;
    if (name == "ref_s") return refS_;
    if (name == "random_phases") return randomPhases_;
    return std::nullopt;
}

}  // namespace rarivoredu::KokoroSynthesizer
