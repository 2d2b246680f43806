#pragma once

#include <optional>
#include <set>
#include <string>

#include "Platform/ml/MLFeatureValue.h"

namespace platform {

// Answers a model's questions for its input values by name; models answer with their outputs
// the same way.
class MLFeatureProvider {
public:
    virtual ~MLFeatureProvider() = default;
    virtual std::set<std::string> featureNames() const = 0;
    // The value for a name, or nothing when the provider has none.
    virtual std::optional<MLFeatureValue> featureValueForName(const std::string& name) const = 0;
};

}  // namespace platform
