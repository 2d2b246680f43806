#pragma once

#include <map>
#include <memory>
#include <string>

#include "Platform/ml/MLFeatureProvider.h"

namespace rarivoredu {

// A feature provider that answers from a fixed dictionary; the values refer to their arrays
// without copying them.
class ZeroCopyFeatureProvider : public platform::MLFeatureProvider {
public:
    using Features = std::map<std::string, platform::MLFeatureValue>;

    explicit ZeroCopyFeatureProvider(Features features);

    std::set<std::string> featureNames() const override;
    std::optional<platform::MLFeatureValue> featureValueForName(const std::string& name) const override;
    const Features& features() const noexcept { return features_; }

    // The provider's value for `outputName` under `inputName`, as a new provider; nothing when
    // the provider has no such value.
    static std::shared_ptr<ZeroCopyFeatureProvider> chain(const platform::MLFeatureProvider& from,
                                                          const std::string& outputName, const std::string& inputName);

private:
    const Features features_;
};

}  // namespace rarivoredu
