#pragma once

#include <cstddef>
#include <vector>

#include "RarivOredu/vad/VadManager.h"
#include "tests/support/vad/VadFixtureModel.h"

namespace rarivoredu {

// A manager over a fixture model whose chunks answer the scripted probabilities.
struct ScriptedDetector {
    explicit ScriptedDetector(std::vector<float> probabilities, VadConfig config = VadConfig::defaultConfig())
        : fixture(testsupport::VadFixtureModel::Script{std::move(probabilities)}), manager(config, fixture.model()) {}

    testsupport::VadFixtureModel fixture;
    VadManager manager;
};

// Samples whose value is their index scaled down, so that a test can tell which ones a run saw.
inline std::vector<float> rampSamples(std::size_t count) {
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<float>(i) / 65536.0f;
    return samples;
}

}  // namespace rarivoredu
