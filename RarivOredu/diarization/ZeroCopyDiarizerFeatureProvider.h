#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLFeatureProvider.h"

namespace rarivoredu {

// The diarization engine's feature provider: a fixed dictionary, answered without copying.
class ZeroCopyDiarizerFeatureProvider : public platform::MLFeatureProvider {
public:
    using Features = std::map<std::string, platform::MLFeatureValue>;

    explicit ZeroCopyDiarizerFeatureProvider(Features features);

    std::set<std::string> featureNames() const override;
    std::optional<platform::MLFeatureValue> featureValueForName(const std::string& name) const override;
    const Features& features() const noexcept { return features_; }

    // `additional` plus the provider's value for `outputName` under `inputName` (replacing an
    // entry of that name); nothing when the provider has no such value.
    static std::shared_ptr<ZeroCopyDiarizerFeatureProvider> chain(const platform::MLFeatureProvider& from,
                                                                  const std::string& outputName,
                                                                  const std::string& inputName,
                                                                  Features additional);
    // One provider per index up to the shorter list, each with "waveform" and "mask".
    static std::vector<std::shared_ptr<ZeroCopyDiarizerFeatureProvider>> createBatch(
        const std::vector<platform::MLMultiArrayPtr>& waveforms, const std::vector<platform::MLMultiArrayPtr>& masks);

private:
    const Features features_;
};

}  // namespace rarivoredu
