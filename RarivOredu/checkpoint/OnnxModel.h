#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

// The parts of an ONNX model file that an importer needs: the graph's nodes with their attributes
// (subgraphs of control-flow nodes included), initializers and the tensors of Constant nodes.
// The file is read whole, by ONNX's own protocol-buffer classes, up to 256 MB (a larger one, and
// ONNX models of external data, are refused as unsupported); types and value infos are skipped.
//
// A file whose encoding protobuf cannot read throws CheckpointError: truncated when a field at
// its top level runs past the end, malformed otherwise; graphs nested deeper than 64 levels,
// negative dimensions and tensors of more than 16 dimensions are malformed too. Errors name the
// file; a file that cannot be read throws unreadable.
class OnnxModel {
public:
    struct Tensor {
        // The ONNX element types this reader converts.
        enum DataType : std::int32_t { float32 = 1, int32 = 6, int64 = 7, float64 = 11 };

        std::string name;
        std::int32_t dataType = 0;
        std::vector<std::int64_t> dims;
        // The elements, little-endian, when the file stores them raw; else in the typed fields.
        std::string rawData;
        std::vector<float> floatData;
        std::vector<std::int64_t> int64Data;
        std::vector<std::int32_t> int32Data;
        std::vector<double> doubleData;

        // The product of the dimensions (1 for a scalar).
        std::int64_t numel() const;
        // The elements as a contiguous float32 array of shape `dims`. Throws CheckpointError:
        // unsupported for element types other than the four above, malformed when the data hold
        // another number of elements than the dimensions say.
        platform::MLMultiArrayPtr toFloat32() const;
        // The elements of an integer tensor (int32 or int64), likewise checked.
        std::vector<std::int64_t> toInt64() const;
    };

    struct Graph;

    struct Attribute {
        std::string name;
        std::int32_t type = 0;
        float f = 0;
        std::int64_t i = 0;
        std::string s;
        std::vector<float> floats;
        std::vector<std::int64_t> ints;
        std::shared_ptr<const Tensor> tensor;
        // The graph of a graph attribute (an If node's branches, a Loop's body), or the list of a
        // graphs attribute.
        std::vector<std::shared_ptr<const Graph>> graphs;
    };

    struct Node {
        std::string name;
        std::string opType;
        std::string domain;
        std::vector<std::string> inputs;
        std::vector<std::string> outputs;
        std::vector<Attribute> attributes;

        // The attribute of that name, or nullptr.
        const Attribute* attribute(std::string_view attributeName) const;
    };

    struct Graph {
        std::string name;
        std::vector<Node> nodes;
        std::vector<Tensor> initializers;
        std::vector<std::string> inputs;
        std::vector<std::string> outputs;

        // The tensors this graph itself holds, by name: its initializers and the values of its
        // Constant nodes (named after the node's output). Those of subgraphs are not included.
        std::map<std::string, const Tensor*> constants() const;
    };

    // Reads and parses a file; `what` in errors is the file's name.
    static OnnxModel open(const std::filesystem::path& path);
    // Parses the bytes of a model; `what` names them in errors.
    static OnnxModel parse(std::string_view bytes, const std::string& what = "the ONNX model");

    std::int64_t irVersion() const noexcept { return irVersion_; }
    const std::string& producerName() const noexcept { return producerName_; }
    // Operator set versions by domain ("" is the default domain).
    const std::map<std::string, std::int64_t>& opsetVersions() const noexcept { return opsets_; }
    const Graph& graph() const noexcept { return *graph_; }

private:
    OnnxModel() = default;

    std::int64_t irVersion_ = 0;
    std::string producerName_;
    std::map<std::string, std::int64_t> opsets_;
    std::shared_ptr<const Graph> graph_;
};

}  // namespace rarivoredu
