#include "RarivOredu/vad/silero/SileroVadWeights.h"

#include <optional>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

namespace {

// A graph's tensors under the names the network gave them: exporters inline subgraphs under a
// prefix ending in "__" ("If_0_then_branch__Inline_0__encoder.0.reparam_conv.weight").
const OnnxModel::Tensor* findTensor(const std::map<std::string, const OnnxModel::Tensor*>& constants,
                                    const std::string& name) {
    if (const auto exact = constants.find(name); exact != constants.end()) return exact->second;
    const std::string suffix = "__" + name;
    for (const auto& [key, tensor] : constants) {
        if (key.size() > suffix.size() && key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return tensor;
        }
    }
    return nullptr;
}

// Where a graph falls short of the layout: nothing when it holds every tensor in its shape.
struct Shortfall {
    int found = 0;  // tensors present in their shape
    std::optional<CheckpointError> error;
};

Shortfall check(const OnnxModel::Graph& graph) {
    const auto constants = graph.constants();
    Shortfall shortfall;
    for (const auto& [name, shape] : SileroVadWeights::layout()) {
        const auto* tensor = findTensor(constants, name);
        if (!tensor) {
            if (!shortfall.error) shortfall.error = CheckpointError::missingTensor(name);
            continue;
        }
        if (tensor->dims != shape) {
            if (!shortfall.error) shortfall.error = CheckpointError::wrongShape(name, shape, tensor->dims);
            continue;
        }
        ++shortfall.found;
    }
    return shortfall;
}

// The graph and every subgraph under it, depth first.
void collectGraphs(const OnnxModel::Graph& graph, std::vector<const OnnxModel::Graph*>& into) {
    into.push_back(&graph);
    for (const auto& node : graph.nodes) {
        for (const auto& attribute : node.attributes) {
            for (const auto& subgraph : attribute.graphs) collectGraphs(*subgraph, into);
        }
    }
}

}  // namespace

const SileroVadWeights::Layout& SileroVadWeights::layout() {
    static const Layout tensors{
        {"stft.forward_basis_buffer", {258, 1, 256}},
        {"encoder.0.reparam_conv.weight", {128, 129, 3}},
        {"encoder.0.reparam_conv.bias", {128}},
        {"encoder.1.reparam_conv.weight", {64, 128, 3}},
        {"encoder.1.reparam_conv.bias", {64}},
        {"encoder.2.reparam_conv.weight", {64, 64, 3}},
        {"encoder.2.reparam_conv.bias", {64}},
        {"encoder.3.reparam_conv.weight", {128, 64, 3}},
        {"encoder.3.reparam_conv.bias", {128}},
        {"decoder.rnn.weight_ih", {512, 128}},
        {"decoder.rnn.weight_hh", {512, 128}},
        {"decoder.rnn.bias_ih", {512}},
        {"decoder.rnn.bias_hh", {512}},
        {"decoder.decoder.2.weight", {1, 128, 1}},
        {"decoder.decoder.2.bias", {1}},
    };
    return tensors;
}

SileroVadWeights SileroVadWeights::fromOnnx(const OnnxModel& model) {
    std::vector<const OnnxModel::Graph*> graphs;
    collectGraphs(model.graph(), graphs);
    const OnnxModel::Graph* chosen = nullptr;
    Shortfall closest;
    closest.found = -1;
    for (const auto* graph : graphs) {
        auto shortfall = check(*graph);
        if (!shortfall.error) {
            chosen = graph;
            break;
        }
        if (shortfall.found > closest.found) closest = std::move(shortfall);
    }
    if (!chosen) throw *closest.error;

    SileroVadWeights weights;
    const auto constants = chosen->constants();
    for (const auto& [name, shape] : layout()) weights.tensors[name] = findTensor(constants, name)->toFloat32();
    return weights;
}

}  // namespace rarivoredu
