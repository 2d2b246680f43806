#include "RarivOredu/vad/silero/SileroVadImport.h"

#include <cstdlib>
#include <fstream>
#include <optional>

#include "Platform/system/CocoaError.h"
#include "Platform/system/SHA256.h"
#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/OnnxModel.h"
#include "RarivOredu/hub/PinnedSource.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/shared/Repo.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/shared/StagedModelFolder.h"
#include "RarivOredu/vad/silero/SileroVadNetwork.h"

namespace rarivoredu {

namespace fs = std::filesystem;

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
    for (const auto& [name, shape] : SileroVadNetwork::layout()) {
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


// The pinned file has 2.3 MB: a body far beyond that is not it, and is not stored whole.
constexpr std::uint64_t maximumOnnxBytes = 64ull << 20;

const AppLogger& logger() {
    static const AppLogger instance("SileroVadImport");
    return instance;
}

std::string fileDigest(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw platform::CocoaError::make(platform::CocoaError::fileNoSuchFile,
                                         "Cannot read " + path.string());
    }
    platform::SHA256 hash;
    char buffer[1 << 16];
    while (file) {
        file.read(buffer, sizeof buffer);
        hash.update(buffer, static_cast<std::size_t>(file.gcount()));
    }
    return hash.finalizeHex();
}

constexpr const char* pinnedTitle = "Silero VAD v6.2";

void requirePinnedDigest(const std::string& digest, const std::string& what) {
    PinnedSource::requireDigest(digest, SileroVadImport::pinnedSHA256, what, pinnedTitle, logger());
}

// Converts a checked ONNX file into the compiled model in the staged folder.
void build(const fs::path& onnxFile, const StagedModelFolder& stage) {
    const auto weights = SileroVadImport::readStateDict(OnnxModel::open(onnxFile));
    SileroVadNetwork::writeBundle(weights, stage.path() / ModelNames::VAD::sileroVadFile);
}

}  // namespace

void SileroVadImport::importFile(const fs::path& onnxFile, const fs::path& repoFolder, Check check) {
    if (check == Check::pinnedDigest) requirePinnedDigest(fileDigest(onnxFile), onnxFile.filename().string());
    // Not while a load of the repository looks at the folder.
    RepoLock lock(repoFolder);
    StagedModelFolder stage(repoFolder);
    build(onnxFile, stage);
    stage.commit();
    logger().info("Imported " + onnxFile.string() + " into " + repoFolder.string());
}

std::optional<std::string> SileroVadImport::sourceURL() {
    if (const char* configured = std::getenv("RARIVOREDU_VAD_ONNX_URL"); configured && *configured) {
        return std::string(configured);
    }
    if (const char* hub = std::getenv("RARIVOREDU_HUB_URL"); hub && *hub) return std::nullopt;
    return std::string(pinnedURL);
}

bool SileroVadImport::importFromSource(const fs::path& repoFolder) {
    const auto url = sourceURL();
    if (!url) return false;
    StagedModelFolder stage(repoFolder);
    const fs::path onnxFile = stage.path() / "silero_vad.onnx";
    logger().info("Fetching the VAD model from " + *url);
    PinnedSource{*url, pinnedSHA256, maximumOnnxBytes, pinnedTitle}.fetch(onnxFile, logger());
    build(onnxFile, stage);
    fs::remove(onnxFile);
    stage.commit();
    logger().info("Imported the VAD model from " + *url);
    return true;
}

StateDict SileroVadImport::readStateDict(const OnnxModel& model) {
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

    StateDict::Arrays tensors;
    const auto constants = chosen->constants();
    for (const auto& [name, shape] : SileroVadNetwork::layout()) tensors[name] = findTensor(constants, name)->toFloat32();
    return StateDict(std::move(tensors));
}

}  // namespace rarivoredu
