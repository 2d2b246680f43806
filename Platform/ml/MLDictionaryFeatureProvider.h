#pragma once

#include <map>
#include <memory>
#include <string>

#include "Platform/ml/MLFeatureProvider.h"

namespace platform {

// A feature provider backed by a dictionary from name to value.
class MLDictionaryFeatureProvider : public MLFeatureProvider {
public:
    using Dictionary = std::map<std::string, MLFeatureValue, std::less<>>;

    MLDictionaryFeatureProvider() = default;
    explicit MLDictionaryFeatureProvider(Dictionary dictionary);

    std::set<std::string> featureNames() const override;
    std::optional<MLFeatureValue> featureValueForName(const std::string& name) const override;

    const Dictionary& dictionary() const noexcept { return dictionary_; }
    // Replaces or adds one value; for callers that reuse one provider across predictions.
    void setValue(const std::string& name, MLFeatureValue value);

private:
    Dictionary dictionary_;
};

}  // namespace platform
