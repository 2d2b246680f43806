#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"

#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLPredictionOptions.h"
#include "Platform/ml/TorchScriptRuntime.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/tts/kokoro/KokoroScriptSource.h"

namespace rarivoredu {

namespace {

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

KokoroWeights KokoroWeightNorm::fold(const KokoroWeights& weights, const std::filesystem::path& scratchFolder) {
    std::map<std::string, platform::MLMultiArrayPtr> plain;
    std::map<std::string, platform::MLMultiArrayPtr> buffers;
    std::vector<std::string> layers;
    for (const auto& [name, array] : weights.tensors()) {
        if (endsWith(name, ".weight_v")) {
            const std::string layer = name.substr(0, name.size() - 2);
            const std::string gain = layer + "_g";
            if (!weights.contains(gain)) throw CheckpointError::missingTensor(gain);
            layers.push_back(layer);
            buffers["v" + std::to_string(layers.size())] = array;
            buffers["g" + std::to_string(layers.size())] = weights.tensors().at(gain);
        } else if (endsWith(name, ".weight_g")) {
            const std::string direction = name.substr(0, name.size() - 1) + "v";
            if (!weights.contains(direction)) throw CheckpointError::missingTensor(direction);
        } else {
            plain[name] = array;
        }
    }
    if (layers.empty()) return weights;

    std::string source = "def forward(self) -> Dict[str, Tensor]:\n    out: Dict[str, Tensor] = {}\n";
    for (std::size_t i = 1; i <= layers.size(); ++i) {
        const std::string n = std::to_string(i);
        source += "    out[\"" + n + "\"] = torch._weight_norm(self.v" + n + ", self.g" + n + ", 0)\n";
    }
    source += "    return out\n";
    std::filesystem::create_directories(scratchFolder);
    const auto module = scratchFolder / "weight-norm.pt";
    auto& runtime = platform::TorchScriptRuntime::shared();
    runtime.saveScriptModule(module, source, buffers);
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
    return KokoroWeights(std::move(plain));
}

}  // namespace rarivoredu
