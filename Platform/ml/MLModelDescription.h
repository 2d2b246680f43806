#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ml/MLFeatureValue.h"
#include "Platform/ml/MLMultiArrayDataType.h"

namespace platform {

// What a multi-array feature must look like. An empty `shape` means no fixed shape is declared.
// With `sizeRanges` (one [min, max] per dimension; max −1 for unbounded) a shape is accepted when
// every dimension lies in its range; otherwise a declared shape must match exactly.
struct MLMultiArrayConstraint {
    MLMultiArrayDataType dataType = MLMultiArrayDataType::float32;
    std::vector<std::int64_t> shape;
    std::vector<std::pair<std::int64_t, std::int64_t>> sizeRanges;

    bool accepts(const std::vector<std::int64_t>& candidate) const noexcept;
};

struct MLFeatureDescription {
    std::string name;
    MLFeatureType type = MLFeatureType::multiArray;
    bool isOptional = false;
    // Present for multi-array features that declare a constraint.
    std::optional<MLMultiArrayConstraint> multiArrayConstraint;
};

// A multi-array feature of the given element type and shape (an empty shape with `sizeRanges`
// for a flexible one).
MLFeatureDescription arrayFeature(std::string name, std::vector<std::int64_t> shape,
                                  MLMultiArrayDataType dataType = MLMultiArrayDataType::float32,
                                  std::vector<std::pair<std::int64_t, std::int64_t>> sizeRanges = {});

// The interface of a model: its inputs and outputs, in declaration order.
struct MLModelDescription {
    std::vector<MLFeatureDescription> inputs;
    std::vector<MLFeatureDescription> outputs;
    std::map<std::string, std::string> metadata;

    const MLFeatureDescription* input(const std::string& name) const noexcept;
    const MLFeatureDescription* output(const std::string& name) const noexcept;
    std::map<std::string, MLFeatureDescription> inputDescriptionsByName() const;
    std::map<std::string, MLFeatureDescription> outputDescriptionsByName() const;
};

}  // namespace platform
