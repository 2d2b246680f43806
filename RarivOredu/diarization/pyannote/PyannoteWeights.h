#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

class TorchCheckpoint;

// The weights of a pyannote.audio model by their module names ("sincnet.conv1d.1.weight"), as a
// checkpoint of that project holds them: a Lightning checkpoint whose "state_dict" maps the names
// to tensors (a bare state dict is read the same way). Numbers are converted to float32 when a
// weight is taken, so only the shapes are in memory until then.
class PyannoteWeights {
public:
    // Throws CheckpointError when the file cannot be read as a torch.save checkpoint.
    static PyannoteWeights fromCheckpoint(const std::filesystem::path& file);
    // Weights built in memory (random weights of the real layout, for tests and benchmarks).
    explicit PyannoteWeights(std::map<std::string, platform::MLMultiArrayPtr> arrays);

    bool contains(const std::string& name) const;
    // Throws CheckpointError::missingTensor.
    std::vector<std::int64_t> shape(const std::string& name) const;
    // The weight as float32, checked to have this shape. Throws CheckpointError::missingTensor or
    // wrongShape (and the checkpoint's own errors for damaged data).
    platform::MLMultiArrayPtr require(const std::string& name, const std::vector<std::int64_t>& expectedShape) const;
    // How many of "<prefix>0<suffix>", "<prefix>1<suffix>", … there are, counting up from 0.
    int countNumbered(const std::string& prefix, const std::string& suffix) const;

private:
    PyannoteWeights() = default;

    std::shared_ptr<const TorchCheckpoint> checkpoint_;
    std::string prefix_;
    std::map<std::string, platform::MLMultiArrayPtr> arrays_;
};

}  // namespace rarivoredu
