#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Platform/ml/MLFeatureProvider.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/system/NSError.h"

namespace testsupport {

// The description of a multi-array feature of a model built in a test: the runtime's own.
using platform::arrayFeature;

// A multi-array input of a fixture model; throws NSError when it is missing.
inline platform::MLMultiArrayPtr fixtureInput(const platform::MLFeatureProvider& inputs, const std::string& name) {
    const auto value = inputs.featureValueForName(name);
    if (!value || !value->multiArrayValue()) throw platform::NSError("fixture", 1, "missing input " + name);
    return value->multiArrayValue();
}

}  // namespace testsupport
