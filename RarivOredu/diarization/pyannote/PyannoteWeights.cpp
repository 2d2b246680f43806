#include "RarivOredu/diarization/pyannote/PyannoteWeights.h"

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace rarivoredu {

PyannoteWeights PyannoteWeights::fromCheckpoint(const std::filesystem::path& file) {
    PyannoteWeights weights;
    weights.checkpoint_ = std::make_shared<const TorchCheckpoint>(TorchCheckpoint::open(file));
    // A Lightning checkpoint nests the weights under "state_dict"; a bare state dict does not.
    for (const auto& [name, record] : weights.checkpoint_->tensors()) {
        if (name.rfind("state_dict.", 0) == 0) {
            weights.prefix_ = "state_dict.";
            break;
        }
    }
    return weights;
}

PyannoteWeights::PyannoteWeights(std::map<std::string, platform::MLMultiArrayPtr> arrays)
    : arrays_(std::move(arrays)) {}

bool PyannoteWeights::contains(const std::string& name) const {
    if (checkpoint_) return checkpoint_->find(prefix_ + name) != nullptr;
    return arrays_.count(name) != 0;
}

std::vector<std::int64_t> PyannoteWeights::shape(const std::string& name) const {
    if (checkpoint_) {
        const TensorRecord* record = checkpoint_->find(prefix_ + name);
        if (record == nullptr) throw CheckpointError::missingTensor(prefix_ + name);
        return record->shape;
    }
    const auto found = arrays_.find(name);
    if (found == arrays_.end()) throw CheckpointError::missingTensor(name);
    return found->second->shape();
}

platform::MLMultiArrayPtr PyannoteWeights::require(const std::string& name,
                                                   const std::vector<std::int64_t>& expectedShape) const {
    if (checkpoint_) return checkpoint_->require(prefix_ + name, expectedShape).toFloat32();
    const auto found = arrays_.find(name);
    if (found == arrays_.end()) throw CheckpointError::missingTensor(name);
    if (found->second->shape() != expectedShape) {
        throw CheckpointError::wrongShape(name, expectedShape, found->second->shape());
    }
    return found->second;
}

int PyannoteWeights::countNumbered(const std::string& prefix, const std::string& suffix) const {
    int n = 0;
    while (contains(prefix + std::to_string(n) + suffix)) ++n;
    return n;
}

}  // namespace rarivoredu
