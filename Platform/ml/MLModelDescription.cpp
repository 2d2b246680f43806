#include "Platform/ml/MLModelDescription.h"

namespace platform {

bool MLMultiArrayConstraint::accepts(const std::vector<std::int64_t>& candidate) const noexcept {
    if (!sizeRanges.empty()) {
        if (candidate.size() != sizeRanges.size()) return false;
        for (std::size_t i = 0; i < candidate.size(); ++i) {
            const auto [lo, hi] = sizeRanges[i];
            if (candidate[i] < lo || (hi >= 0 && candidate[i] > hi)) return false;
        }
        return true;
    }
    return shape.empty() || shape == candidate;
}

namespace {

const MLFeatureDescription* find(const std::vector<MLFeatureDescription>& list, const std::string& name) {
    for (const auto& d : list) {
        if (d.name == name) return &d;
    }
    return nullptr;
}

std::map<std::string, MLFeatureDescription> byName(const std::vector<MLFeatureDescription>& list) {
    std::map<std::string, MLFeatureDescription> map;
    for (const auto& d : list) map.emplace(d.name, d);
    return map;
}

}  // namespace

const MLFeatureDescription* MLModelDescription::input(const std::string& name) const noexcept {
    return find(inputs, name);
}

const MLFeatureDescription* MLModelDescription::output(const std::string& name) const noexcept {
    return find(outputs, name);
}

std::map<std::string, MLFeatureDescription> MLModelDescription::inputDescriptionsByName() const {
    return byName(inputs);
}

std::map<std::string, MLFeatureDescription> MLModelDescription::outputDescriptionsByName() const {
    return byName(outputs);
}

MLFeatureDescription arrayFeature(std::string name, std::vector<std::int64_t> shape, MLMultiArrayDataType dataType,
                                  std::vector<std::pair<std::int64_t, std::int64_t>> sizeRanges) {
    MLFeatureDescription feature;
    feature.name = std::move(name);
    feature.type = MLFeatureType::multiArray;
    feature.multiArrayConstraint = MLMultiArrayConstraint{dataType, std::move(shape), std::move(sizeRanges)};
    return feature;
}

}  // namespace platform
