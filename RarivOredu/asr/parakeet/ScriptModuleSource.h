#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// The TorchScript source of one module being written, with the named tensors it refers to as
// `self.<name>`, and the linear weights to store as int8.
class ScriptModuleSource {
public:
    explicit ScriptModuleSource(std::string signature);

    // One statement of `forward`, indented by the given extra levels.
    void line(const std::string& statement, int indent = 0);
    // Registers a tensor and returns the expression that reads it.
    std::string tensor(const std::string& name, platform::MLMultiArrayPtr value);
    // `input` [..., in] times the weight [out, in]ᵀ, plus the bias when there is one. With
    // `int8`, the weight is stored as int8 per output channel and the input quantised per call.
    std::string linear(const std::string& name, const std::string& input, platform::MLMultiArrayPtr weight,
                       platform::MLMultiArrayPtr bias = nullptr, bool int8 = false);

    const std::string& source() const noexcept { return source_; }
    const std::map<std::string, platform::MLMultiArrayPtr>& buffers() const noexcept { return buffers_; }
    const std::set<std::string>& int8LinearWeights() const noexcept { return int8_; }

    // Compiles and saves the module to `path` through the TorchScript runtime.
    void save(const std::filesystem::path& path) const;

private:
    std::string source_;
    std::map<std::string, platform::MLMultiArrayPtr> buffers_;
    std::set<std::string> int8_;
};

}  // namespace rarivoredu
