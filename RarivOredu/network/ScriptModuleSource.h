#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "Platform/ml/ThreadingPreference.h"

namespace rarivoredu {

// The TorchScript source of one module being written, with the named tensors it refers to as
// `self.<name>`, and the linear weights to store as int8. Every network builder writes its module
// through one: statement by statement under a `forward` signature, or as whole methods appended.
class ScriptModuleSource {
public:
    // A module whose methods are appended whole.
    ScriptModuleSource() = default;
    // A module whose `forward` has this signature; its statements follow through line().
    explicit ScriptModuleSource(std::string signature);

    // One statement of `forward`, indented by the given extra levels.
    void line(const std::string& statement, int indent = 0);
    // Whole methods (or helper functions) of the module, as written.
    void append(const std::string& text);
    // Registers a tensor and returns the expression that reads it.
    std::string tensor(const std::string& name, platform::MLMultiArrayPtr value);
    // `input` [..., in] times the weight [out, in]ᵀ, plus the bias when there is one. With
    // `int8`, the weight is stored as int8 per output channel and the input quantised per call.
    std::string linear(const std::string& name, const std::string& input, platform::MLMultiArrayPtr weight,
                       platform::MLMultiArrayPtr bias = nullptr, bool int8 = false);

    const std::string& source() const noexcept { return source_; }
    const std::map<std::string, platform::MLMultiArrayPtr>& buffers() const noexcept { return buffers_; }
    const std::set<std::string>& int8LinearWeights() const noexcept { return int8_; }

    // Compiles and saves the module to `path` through the TorchScript runtime, handing over the
    // tensors (the runtime frees float weights it stores as int8 once packed).
    void save(const std::filesystem::path& path) &&;
    // Writes a whole model bundle into `folder`: the module compiled as "model.pt" and the
    // description with the thread pools to run on.
    void writeBundle(const std::filesystem::path& folder, platform::MLModelDescription description,
                     platform::ThreadingPreference threading) &&;

private:
    std::string source_;
    std::map<std::string, platform::MLMultiArrayPtr> buffers_;
    std::set<std::string> int8_;
};

}  // namespace rarivoredu
