#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"

#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "Platform/ml/TorchScriptRuntime.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/network/ScriptModuleSource.h"
#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"

namespace rarivoredu {

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

StateDict KokoroWeightNorm::fold(const StateDict& weights, const std::filesystem::path& scratchFolder) {
    std::map<std::string, platform::MLMultiArrayPtr> plain;
    std::map<std::string, platform::MLMultiArrayPtr> buffers;
    std::vector<std::string> layers;
    const auto tensors = weights.arrays();
    for (const auto& [name, array] : tensors) {
        if (endsWith(name, ".weight_v")) {
            const std::string layer = name.substr(0, name.size() - 2);
            const std::string gain = layer + "_g";
            if (!weights.contains(gain)) throw CheckpointError::missingTensor(gain);
            layers.push_back(layer);
            buffers["v" + std::to_string(layers.size())] = array;
            buffers["g" + std::to_string(layers.size())] = tensors.at(gain);
        } else if (endsWith(name, ".weight_g")) {
            const std::string direction = name.substr(0, name.size() - 1) + "v";
            if (!weights.contains(direction)) throw CheckpointError::missingTensor(direction);
        } else {
            plain[name] = array;
        }
    }
    if (layers.empty()) return weights;

    ScriptModuleSource source("def forward(self) -> Dict[str, Tensor]:");
    source.line("out: Dict[str, Tensor] = {}");
    for (std::size_t i = 1; i <= layers.size(); ++i) {
        const std::string n = std::to_string(i);
        source.line("out[\"" + n + "\"] = torch._weight_norm(" + source.tensor("v" + n, buffers.at("v" + n)) + ", " +
                    source.tensor("g" + n, buffers.at("g" + n)) + ", 0)");
    }
    source.line("return out");
    std::filesystem::create_directories(scratchFolder);
    const auto module = scratchFolder / "weight-norm.pt";
    auto& runtime = platform::TorchScriptRuntime::shared();
    std::move(source).save(module);
    platform::MLDictionaryFeatureProvider::Dictionary folded;
    {
        const auto engine = runtime.makeEngine(module, platform::MLModelDescription{}, platform::ThreadingPreference::blasWide);
        folded = engine->predict(platform::MLDictionaryFeatureProvider{}, platform::MLPredictionOptions{});
    }
    std::error_code ignored;
    std::filesystem::remove(module, ignored);
    for (std::size_t i = 1; i <= layers.size(); ++i) {
        const auto found = folded.find(std::to_string(i));
        if (found == folded.end() || !found->second.multiArrayValue()) throw CheckpointError::missingTensor(layers[i - 1]);
        plain[layers[i - 1]] = found->second.multiArrayValue();
    }
    return StateDict(std::move(plain));
}

bool KokoroWeightNorm::hasWeight(const StateDict& weights, const std::string& name) {
    return weights.contains(name) || (weights.contains(name + "_v") && weights.contains(name + "_g"));
}

std::vector<std::int64_t> KokoroWeightNorm::weightShape(const StateDict& weights, const std::string& name) {
    return weights.contains(name) ? weights.shape(name) : weights.shape(name + "_v");
}

}  // namespace rarivoredu
