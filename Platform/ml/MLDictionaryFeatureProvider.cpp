#include "Platform/ml/MLDictionaryFeatureProvider.h"

namespace platform {

MLDictionaryFeatureProvider::MLDictionaryFeatureProvider(Dictionary dictionary) : dictionary_(std::move(dictionary)) {}

std::set<std::string> MLDictionaryFeatureProvider::featureNames() const {
    std::set<std::string> names;
    for (const auto& [name, value] : dictionary_) names.insert(name);
    return names;
}

std::optional<MLFeatureValue> MLDictionaryFeatureProvider::featureValueForName(const std::string& name) const {
    const auto it = dictionary_.find(name);
    if (it == dictionary_.end()) return std::nullopt;
    return it->second;
}

void MLDictionaryFeatureProvider::setValue(const std::string& name, MLFeatureValue value) {
    auto it = dictionary_.find(name);
    if (it == dictionary_.end()) dictionary_.emplace(name, std::move(value));
    else it->second = std::move(value);
}

}  // namespace platform
