#include "RarivOredu/tts/kokoro/KokoroWeights.h"

#include <algorithm>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/TorchCheckpoint.h"

namespace rarivoredu {

KokoroWeights::KokoroWeights(std::map<std::string, platform::MLMultiArrayPtr> tensors) : tensors_(std::move(tensors)) {}

const std::vector<std::string>& KokoroWeights::parts() {
    static const std::vector<std::string> names{"bert", "bert_encoder", "predictor", "text_encoder", "decoder"};
    return names;
}

KokoroWeights KokoroWeights::fromCheckpoint(const TorchCheckpoint& checkpoint) {
    std::map<std::string, platform::MLMultiArrayPtr> tensors;
    std::map<std::string, int> perPart;
    for (const auto& [name, record] : checkpoint.tensors()) {
        const auto dot = name.find('.');
        const std::string part = name.substr(0, dot);
        if (dot == std::string::npos || std::find(parts().begin(), parts().end(), part) == parts().end()) {
            throw CheckpointError::malformed("Kokoro checkpoint entry '" + name + "'");
        }
        std::string key = name.substr(dot + 1);
        if (key.rfind("module.", 0) == 0) key.erase(0, 7);
        if (key.empty()) throw CheckpointError::malformed("Kokoro checkpoint entry '" + name + "'");
        tensors[part + "." + key] = record.toFloat32();
        ++perPart[part];
    }
    for (const auto& part : parts()) {
        if (perPart[part] == 0) throw CheckpointError::missingTensor(part);
    }
    return KokoroWeights(std::move(tensors));
}

bool KokoroWeights::hasWeight(const std::string& name) const {
    return contains(name) || (contains(name + "_v") && contains(name + "_g"));
}

const platform::MLMultiArray& KokoroWeights::tensor(const std::string& name) const {
    const auto found = tensors_.find(name);
    if (found == tensors_.end() || !found->second) throw CheckpointError::missingTensor(name);
    return *found->second;
}

std::vector<std::int64_t> KokoroWeights::weightShape(const std::string& name) const {
    return contains(name) ? tensor(name).shape() : tensor(name + "_v").shape();
}

std::int64_t KokoroWeights::parameterCount() const {
    std::int64_t count = 0;
    for (const auto& [name, array] : tensors_) count += array->count();
    return count;
}

}  // namespace rarivoredu
