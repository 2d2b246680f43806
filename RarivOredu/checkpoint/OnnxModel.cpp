#include "RarivOredu/checkpoint/OnnxModel.h"

#include <onnx/onnx_pb.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <limits>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

namespace {

// The pinned voice activity model has 2.3 MB; a model file beyond this is not read.
constexpr std::uint64_t maximumModelBytes = std::uint64_t{256} << 20;
constexpr int maximumGraphDepth = 64;
// More dimensions than this are no tensor of a model.
constexpr int maximumRank = 16;

// Why protobuf refused the bytes: a field at the top level that runs past the end is a file cut
// short; everything else is a broken encoding. Protobuf itself says only that parsing failed.
bool endsEarly(std::string_view bytes) {
    std::size_t at = 0;
    auto varint = [&](std::uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at >= bytes.size()) return true;
            const auto byte = static_cast<std::uint8_t>(bytes[at++]);
            value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) return false;
        }
        at = bytes.size() + 1;  // more than ten bytes: malformed, not short
        return false;
    };
    while (at < bytes.size()) {
        std::uint64_t key = 0;
        if (varint(key)) return true;
        if (at > bytes.size()) return false;
        std::uint64_t value = 0;
        switch (key & 7) {
            case 0:
                if (varint(value)) return true;
                if (at > bytes.size()) return false;
                break;
            case 1:
                if (bytes.size() - at < 8) return true;
                at += 8;
                break;
            case 2:
                if (varint(value)) return true;
                if (at > bytes.size()) return false;
                if (value > bytes.size() - at) return true;
                at += static_cast<std::size_t>(value);
                break;
            case 5:
                if (bytes.size() - at < 4) return true;
                at += 4;
                break;
            default: return false;
        }
    }
    return false;
}

OnnxModel::Tensor convertTensor(const onnx::TensorProto& proto, const std::string& context) {
    OnnxModel::Tensor tensor;
    tensor.name = proto.name();
    if (proto.has_segment()) throw CheckpointError::unsupported(context + ": a tensor in segments");
    if (proto.external_data_size() > 0 || proto.data_location() == onnx::TensorProto_DataLocation_EXTERNAL)
        throw CheckpointError::unsupported(context + ": tensor " + tensor.name + " keeps its data in another file");
    if (proto.dims_size() > maximumRank)
        throw CheckpointError::malformed(context + ": tensor " + tensor.name + " (too many dimensions)");
    tensor.dataType = proto.data_type();
    tensor.dims.assign(proto.dims().begin(), proto.dims().end());
    for (const auto dim : tensor.dims) {
        if (dim < 0) throw CheckpointError::malformed(context + ": tensor " + tensor.name + " (a negative dimension)");
    }
    tensor.rawData = proto.raw_data();
    tensor.floatData.assign(proto.float_data().begin(), proto.float_data().end());
    tensor.int64Data.assign(proto.int64_data().begin(), proto.int64_data().end());
    tensor.int32Data.assign(proto.int32_data().begin(), proto.int32_data().end());
    tensor.doubleData.assign(proto.double_data().begin(), proto.double_data().end());
    return tensor;
}

std::shared_ptr<const OnnxModel::Graph> convertGraph(const onnx::GraphProto& proto, const std::string& context,
                                                     int depth);

OnnxModel::Attribute convertAttribute(const onnx::AttributeProto& proto, const std::string& context, int depth) {
    OnnxModel::Attribute attribute;
    attribute.name = proto.name();
    attribute.type = proto.type();
    attribute.f = proto.f();
    attribute.i = proto.i();
    attribute.s = proto.s();
    attribute.floats.assign(proto.floats().begin(), proto.floats().end());
    attribute.ints.assign(proto.ints().begin(), proto.ints().end());
    if (proto.has_t()) attribute.tensor = std::make_shared<const OnnxModel::Tensor>(convertTensor(proto.t(), context));
    if (proto.has_g()) attribute.graphs.push_back(convertGraph(proto.g(), context, depth + 1));
    for (const auto& graph : proto.graphs()) attribute.graphs.push_back(convertGraph(graph, context, depth + 1));
    return attribute;
}

OnnxModel::Node convertNode(const onnx::NodeProto& proto, const std::string& context, int depth) {
    OnnxModel::Node node;
    node.name = proto.name();
    node.opType = proto.op_type();
    node.domain = proto.domain();
    node.inputs.assign(proto.input().begin(), proto.input().end());
    node.outputs.assign(proto.output().begin(), proto.output().end());
    node.attributes.reserve(static_cast<std::size_t>(proto.attribute_size()));
    for (const auto& attribute : proto.attribute()) node.attributes.push_back(convertAttribute(attribute, context, depth));
    return node;
}

std::shared_ptr<const OnnxModel::Graph> convertGraph(const onnx::GraphProto& proto, const std::string& context,
                                                     int depth) {
    if (depth > maximumGraphDepth) throw CheckpointError::malformed(context + " (graphs nested too deep)");
    auto graph = std::make_shared<OnnxModel::Graph>();
    graph->name = proto.name();
    graph->nodes.reserve(static_cast<std::size_t>(proto.node_size()));
    for (const auto& node : proto.node()) graph->nodes.push_back(convertNode(node, context, depth));
    graph->initializers.reserve(static_cast<std::size_t>(proto.initializer_size()));
    for (const auto& tensor : proto.initializer()) graph->initializers.push_back(convertTensor(tensor, context));
    for (const auto& input : proto.input()) graph->inputs.push_back(input.name());
    for (const auto& output : proto.output()) graph->outputs.push_back(output.name());
    return graph;
}

void checkCount(const OnnxModel::Tensor& tensor, std::size_t count) {
    if (count != static_cast<std::size_t>(tensor.numel())) {
        throw CheckpointError::malformed("tensor " + tensor.name + " (" + std::to_string(count) + " elements for " +
                                         std::to_string(tensor.numel()) + ")");
    }
}

// The elements of a tensor as T, from its raw bytes or its typed field. The count is checked
// against the dimensions before anything is allocated for them.
template <typename T, typename Raw, typename Typed>
std::vector<T> elements(const OnnxModel::Tensor& tensor, const std::vector<Typed>& typed) {
    std::vector<T> values;
    if (!tensor.rawData.empty() || typed.empty()) {
        if (tensor.rawData.size() % sizeof(Raw) != 0) {
            throw CheckpointError::malformed("tensor " + tensor.name + " (raw data of " +
                                             std::to_string(tensor.rawData.size()) + " bytes)");
        }
        const std::size_t count = tensor.rawData.size() / sizeof(Raw);
        checkCount(tensor, count);
        values.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            Raw raw;
            std::memcpy(&raw, tensor.rawData.data() + i * sizeof(Raw), sizeof(Raw));
            values[i] = static_cast<T>(raw);
        }
        return values;
    }
    checkCount(tensor, typed.size());
    values.assign(typed.begin(), typed.end());
    return values;
}

}  // namespace

std::int64_t OnnxModel::Tensor::numel() const {
    std::int64_t count = 1;
    for (const auto dim : dims) {
        if (dim < 0 || __builtin_mul_overflow(count, dim, &count)) {
            throw CheckpointError::malformed("tensor " + name + " (too many elements)");
        }
    }
    return count;
}

platform::MLMultiArrayPtr OnnxModel::Tensor::toFloat32() const {
    std::vector<float> values;
    switch (dataType) {
        case float32: values = elements<float, float>(*this, floatData); break;
        case float64: values = elements<float, double>(*this, doubleData); break;
        case int32: values = elements<float, std::int32_t>(*this, int32Data); break;
        case int64: values = elements<float, std::int64_t>(*this, int64Data); break;
        default:
            throw CheckpointError::unsupported("tensor " + name + " of ONNX element type " + std::to_string(dataType));
    }
    auto array = platform::MLMultiArray::create(dims, platform::MLMultiArrayDataType::float32);
    if (!values.empty()) std::memcpy(array->data<float>(), values.data(), values.size() * sizeof(float));
    return array;
}

std::vector<std::int64_t> OnnxModel::Tensor::toInt64() const {
    switch (dataType) {
        case int32: return elements<std::int64_t, std::int32_t>(*this, int32Data);
        case int64: return elements<std::int64_t, std::int64_t>(*this, int64Data);
        default:
            throw CheckpointError::unsupported("integers of tensor " + name + " of ONNX element type " +
                                               std::to_string(dataType));
    }
}

const OnnxModel::Attribute* OnnxModel::Node::attribute(std::string_view attributeName) const {
    for (const auto& attribute : attributes) {
        if (attribute.name == attributeName) return &attribute;
    }
    return nullptr;
}

std::map<std::string, const OnnxModel::Tensor*> OnnxModel::Graph::constants() const {
    std::map<std::string, const Tensor*> found;
    for (const auto& tensor : initializers) found[tensor.name] = &tensor;
    for (const auto& node : nodes) {
        if (node.opType != "Constant" || node.outputs.empty()) continue;
        const auto* value = node.attribute("value");
        if (value && value->tensor) found[node.outputs.front()] = value->tensor.get();
    }
    return found;
}

OnnxModel OnnxModel::open(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CheckpointError::unreadable(path, "it cannot be opened");
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && static_cast<std::uint64_t>(status.st_size) > maximumModelBytes) {
        throw CheckpointError::unsupported(path.filename().string() + " has " + std::to_string(status.st_size) +
                                           " bytes, more than an ONNX model read here may have");
    }
    std::string bytes;
    char buffer[1 << 16];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(file.gcount()));
        if (bytes.size() > maximumModelBytes) {
            throw CheckpointError::unsupported(path.filename().string() +
                                               " is larger than an ONNX model read here may be");
        }
    }
    if (file.bad()) throw CheckpointError::unreadable(path, "reading failed");
    return parse(bytes, path.filename().string());
}

OnnxModel OnnxModel::parse(std::string_view bytes, const std::string& what) {
    if (bytes.size() > maximumModelBytes) {
        throw CheckpointError::unsupported(what + " has " + std::to_string(bytes.size()) +
                                           " bytes, more than an ONNX model read here may have");
    }
    onnx::ModelProto proto;
    if (!proto.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) {
        if (endsEarly(bytes)) throw CheckpointError::truncated(what);
        throw CheckpointError::malformed(what + " (not a readable ONNX model)");
    }
    if (!proto.has_graph()) throw CheckpointError::malformed(what + " (no graph: not an ONNX model)");
    OnnxModel model;
    model.irVersion_ = proto.ir_version();
    model.producerName_ = proto.producer_name();
    for (const auto& opset : proto.opset_import()) model.opsets_[opset.domain()] = opset.version();
    model.graph_ = convertGraph(proto.graph(), what, 0);
    return model;
}

}  // namespace rarivoredu
