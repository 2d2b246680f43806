#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace onnx {
class ModelProto;
class NodeProto;
}  // namespace onnx

namespace testsupport {

// Builds one ONNX model (opset 17) node by node and writes it: the graph into a protobuf file and
// every large constant into a data file beside it, referenced as ONNX external data (a float32
// encoder of the real size is larger than the 2 GB a protobuf message may hold). Small constants
// (shapes, axes, scalars) stay inside the graph. Each node's outputs get fresh names, which the
// builder returns. Used by the ONNX writers of the benchmarks' peer runs and their tests.
class OnnxGraphBuilder {
public:
    using Shape = std::vector<std::int64_t>;
    using Attributes = std::function<void(onnx::NodeProto&)>;

    // The model to be written to `file`, its weights to `file` + ".data".
    explicit OnnxGraphBuilder(std::filesystem::path file);
    ~OnnxGraphBuilder();
    OnnxGraphBuilder(const OnnxGraphBuilder&) = delete;
    OnnxGraphBuilder& operator=(const OnnxGraphBuilder&) = delete;

    // A float32 graph input or output; a dimension of -1 is the symbolic one named `dynamic`.
    void input(const std::string& name, const Shape& shape, const std::string& dynamic = "T");
    void output(const std::string& name, const Shape& shape, const std::string& dynamic = "T");

    // Constants: float32, int8 and int64 tensors of `shape` from `count` elements.
    std::string floats(const std::string& name, const Shape& shape, const float* values);
    std::string int8s(const std::string& name, const Shape& shape, const std::int8_t* values);
    std::string int64s(const Shape& shape, const std::vector<std::int64_t>& values);
    std::string ints(const std::vector<std::int64_t>& values) { return int64s({static_cast<std::int64_t>(values.size())}, values); }
    std::string int64Scalar(std::int64_t value) { return int64s({}, {value}); }
    std::string floatScalar(float value);

    // A node; returns its `outputs` output names.
    std::vector<std::string> nodes(const std::string& op, const std::vector<std::string>& inputs, int outputs,
                                   const Attributes& attributes = {});
    std::string node(const std::string& op, const std::vector<std::string>& inputs, const Attributes& attributes = {}) {
        return nodes(op, inputs, 1, attributes).front();
    }

    // An Identity node that gives `value` the graph-level name `name` (for outputs).
    void alias(const std::string& value, const std::string& name);

    static void intAttribute(onnx::NodeProto& node, const std::string& name, std::int64_t value);
    static void floatAttribute(onnx::NodeProto& node, const std::string& name, float value);
    static void intsAttribute(onnx::NodeProto& node, const std::string& name, const std::vector<std::int64_t>& values);

    // Writes the graph; the data file has been written as the constants came.
    void save();

private:
    std::string tensor(const std::string& name, int dataType, const Shape& shape, const void* bytes, std::size_t size);

    std::filesystem::path file_;
    std::string dataName_;
    std::ofstream data_;
    std::uint64_t dataOffset_ = 0;
    int counter_ = 0;
    std::unique_ptr<onnx::ModelProto> model_;
};

}  // namespace testsupport
