#include "RarivOredu/checkpoint/StateDict.h"

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace rarivoredu {

using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;

namespace {

// A Lightning checkpoint nests the weights under "state_dict"; a bare state dict does not.
const std::string kLightningPrefix = "state_dict.";

}  // namespace

StateDict::StateDict(Arrays arrays) : arrays_(std::make_shared<const Arrays>(std::move(arrays))) {}

StateDict::StateDict(std::shared_ptr<const TorchCheckpoint> checkpoint) : checkpoint_(std::move(checkpoint)) {}

StateDict StateDict::open(const std::filesystem::path& file) {
    StateDict dict(std::make_shared<const TorchCheckpoint>(TorchCheckpoint::open(file)));
    return dict.hasPrefix(kLightningPrefix) ? dict.withoutPrefix(kLightningPrefix) : dict;
}

bool StateDict::contains(const std::string& name) const {
    if (checkpoint_) return checkpoint_->find(prefix_ + name) != nullptr;
    return arrays_->count(prefix_ + name) != 0;
}

StateDict::Shape StateDict::shape(const std::string& name) const {
    const std::string full = prefix_ + name;
    if (checkpoint_) {
        const TensorRecord* record = checkpoint_->find(full);
        if (record == nullptr) throw CheckpointError::missingTensor(full);
        return record->shape;
    }
    const auto found = arrays_->find(full);
    if (found == arrays_->end() || !found->second) throw CheckpointError::missingTensor(full);
    return found->second->shape();
}

MLMultiArrayPtr StateDict::tensor(const std::string& name) const {
    const std::string full = prefix_ + name;
    MLMultiArrayPtr array;
    if (checkpoint_) {
        const TensorRecord* record = checkpoint_->find(full);
        if (record == nullptr) throw CheckpointError::missingTensor(full);
        array = record->toFloat32();
    } else {
        const auto found = arrays_->find(full);
        if (found == arrays_->end() || !found->second) throw CheckpointError::missingTensor(full);
        if (found->second->dataType() != MLMultiArrayDataType::float32) {
            throw CheckpointError::unsupported(full + " is not held as float32");
        }
        array = found->second;
    }
    if (observer_) observer_(name, array->count());
    return array;
}

MLMultiArrayPtr StateDict::require(const std::string& name, const Shape& expectedShape) const {
    const Shape found = shape(name);
    if (found != expectedShape) throw CheckpointError::wrongShape(prefix_ + name, expectedShape, found);
    return tensor(name);
}

int StateDict::countNumbered(const std::string& prefix, const std::string& suffix) const {
    int n = 0;
    while (contains(prefix + std::to_string(n) + suffix)) ++n;
    return n;
}

std::vector<std::string> StateDict::names() const {
    std::vector<std::string> names;
    auto add = [&](const std::string& full) {
        if (full.rfind(prefix_, 0) == 0) names.push_back(full.substr(prefix_.size()));
    };
    if (checkpoint_) {
        for (const auto& [full, record] : checkpoint_->tensors()) add(full);
    } else {
        for (const auto& [full, array] : *arrays_) add(full);
    }
    return names;
}

bool StateDict::hasPrefix(const std::string& prefix) const {
    for (const auto& name : names()) {
        if (name.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

StateDict StateDict::withoutPrefix(const std::string& prefix) const {
    StateDict view = *this;
    view.prefix_ += prefix;
    return view;
}

std::int64_t StateDict::elementCount() const {
    std::int64_t count = 0;
    for (const auto& name : names()) {
        if (checkpoint_) {
            count += checkpoint_->find(prefix_ + name)->numel();
        } else {
            count += arrays_->at(prefix_ + name)->count();
        }
    }
    return count;
}

StateDict::Arrays StateDict::arrays() const {
    if (!checkpoint_ && prefix_.empty()) return *arrays_;
    Arrays arrays;
    for (const auto& name : names()) arrays[name] = tensor(name);
    return arrays;
}

}  // namespace rarivoredu
