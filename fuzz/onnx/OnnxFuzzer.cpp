// ONNX models: protobuf decoding, the graphs and subgraphs, tensors converted from raw and typed
// data, and the voice activity import's search for Silero's weights.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/OnnxModel.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

namespace {

void convertAll(const OnnxModel::Graph& graph) {
    for (const auto& [name, tensor] : graph.constants()) {
        try {
            const auto array = tensor->toFloat32();
            if (array->count() != tensor->numel()) __builtin_trap();
        } catch (const CheckpointError&) {
        }
        try {
            (void)tensor->toInt64();
        } catch (const CheckpointError&) {
        }
    }
    for (const auto& node : graph.nodes) {
        (void)node.attribute("value");
        for (const auto& attribute : node.attributes)
            for (const auto& subgraph : attribute.graphs) convertAll(*subgraph);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const auto model = OnnxModel::parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.onnx");
        convertAll(model.graph());
        (void)SileroVadImport::readStateDict(model);
    } catch (const CheckpointError&) {
    }
    return 0;
}
