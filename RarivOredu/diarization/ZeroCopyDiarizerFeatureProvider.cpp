#include "RarivOredu/diarization/ZeroCopyDiarizerFeatureProvider.h"

#include <algorithm>

namespace rarivoredu {

using platform::MLFeatureValue;

ZeroCopyDiarizerFeatureProvider::ZeroCopyDiarizerFeatureProvider(Features features) : features_(std::move(features)) {}

std::set<std::string> ZeroCopyDiarizerFeatureProvider::featureNames() const {
    std::set<std::string> names;
    for (const auto& [name, value] : features_) names.insert(name);
    return names;
}

std::optional<MLFeatureValue> ZeroCopyDiarizerFeatureProvider::featureValueForName(const std::string& name) const {
    const auto it = features_.find(name);
    if (it == features_.end()) return std::nullopt;
    return it->second;
}

std::shared_ptr<ZeroCopyDiarizerFeatureProvider> ZeroCopyDiarizerFeatureProvider::chain(
    const platform::MLFeatureProvider& from, const std::string& outputName, const std::string& inputName,
    Features additional) {
    auto value = from.featureValueForName(outputName);
    if (!value) return nullptr;
    additional.insert_or_assign(inputName, std::move(*value));
    return std::make_shared<ZeroCopyDiarizerFeatureProvider>(std::move(additional));
}

std::vector<std::shared_ptr<ZeroCopyDiarizerFeatureProvider>> ZeroCopyDiarizerFeatureProvider::createBatch(
    const std::vector<platform::MLMultiArrayPtr>& waveforms, const std::vector<platform::MLMultiArrayPtr>& masks) {
    const std::size_t n = std::min(waveforms.size(), masks.size());
    std::vector<std::shared_ptr<ZeroCopyDiarizerFeatureProvider>> batch;
    batch.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        batch.push_back(std::make_shared<ZeroCopyDiarizerFeatureProvider>(
            Features{{"waveform", MLFeatureValue::featureValueWithMultiArray(waveforms[i])},
                     {"mask", MLFeatureValue::featureValueWithMultiArray(masks[i])}}));
    }
    return batch;
}

}  // namespace rarivoredu
