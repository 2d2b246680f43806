#include "RarivOredu/shared/ZeroCopyFeatureProvider.h"

namespace rarivoredu {

ZeroCopyFeatureProvider::ZeroCopyFeatureProvider(Features features) : features_(std::move(features)) {}

std::set<std::string> ZeroCopyFeatureProvider::featureNames() const {
    std::set<std::string> names;
    for (const auto& [name, value] : features_) names.insert(name);
    return names;
}

std::optional<platform::MLFeatureValue> ZeroCopyFeatureProvider::featureValueForName(const std::string& name) const {
    const auto it = features_.find(name);
    if (it == features_.end()) return std::nullopt;
    return it->second;
}

std::shared_ptr<ZeroCopyFeatureProvider> ZeroCopyFeatureProvider::chain(const platform::MLFeatureProvider& from,
                                                                        const std::string& outputName,
                                                                        const std::string& inputName) {
    auto value = from.featureValueForName(outputName);
    if (!value) return nullptr;
    return std::make_shared<ZeroCopyFeatureProvider>(Features{{inputName, std::move(*value)}});
}

}  // namespace rarivoredu
