#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Platform/ml/MLMultiArray.h"

namespace testsupport {

// The reference outputs stored beside the tiny checkpoint: "expected.json" names the arrays
// (shape, dtype, offset) that lie back to back in "expected.f32".
class ReferenceOutputs {
public:
    explicit ReferenceOutputs(const std::filesystem::path& folder);

    platform::MLMultiArray::Shape shape(const std::string& name) const;
    std::vector<float> floats(const std::string& name) const;
    std::vector<int> ints(const std::string& name) const;
    // A float32 array, or an int32 one for integer entries.
    platform::MLMultiArrayPtr array(const std::string& name) const;
    const nlohmann::json& info() const { return json_["info"]; }

private:
    const nlohmann::json& entry(const std::string& name) const;

    nlohmann::json json_;
    std::string bytes_;
};

}  // namespace testsupport
