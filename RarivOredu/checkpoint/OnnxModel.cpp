#include "RarivOredu/checkpoint/OnnxModel.h"

#include <cstring>
#include <fstream>
#include <limits>
#include <optional>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {

namespace {

constexpr int maximumGraphDepth = 64;

enum WireType : std::uint32_t { varint = 0, fixed64 = 1, lengthDelimited = 2, fixed32 = 5 };

// One field of a protocol-buffer message: its number, wire type and value (the integer of a
// varint or fixed field, the bytes of a length-delimited one).
struct Field {
    std::uint32_t number = 0;
    WireType wire = varint;
    std::uint64_t integer = 0;
    std::string_view bytes;
};

// Walks the fields of one message, checking every length against what is left of it.
class MessageReader {
public:
    MessageReader(std::string_view bytes, const std::string& what) : bytes_(bytes), what_(what) {}

    bool next(Field& field) {
        if (position_ >= bytes_.size()) return false;
        const std::uint64_t key = readVarint();
        if (key >> 32 != 0 || key >> 3 == 0) throw CheckpointError::malformed(what_ + " (a field key)");
        field.number = static_cast<std::uint32_t>(key >> 3);
        field.wire = static_cast<WireType>(key & 7);
        switch (field.wire) {
            case varint: field.integer = readVarint(); break;
            case fixed64: field.integer = readFixed(8); break;
            case fixed32: field.integer = readFixed(4); break;
            case lengthDelimited: {
                const std::uint64_t length = readVarint();
                if (length > bytes_.size() - position_) throw CheckpointError::truncated(what_);
                field.bytes = bytes_.substr(position_, static_cast<std::size_t>(length));
                position_ += static_cast<std::size_t>(length);
                break;
            }
            default: throw CheckpointError::malformed(what_ + " (wire type " + std::to_string(key & 7) + ")");
        }
        return true;
    }

    const std::string& what() const noexcept { return what_; }

    std::uint64_t readVarint() {
        std::uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (position_ >= bytes_.size()) throw CheckpointError::truncated(what_);
            const auto byte = static_cast<std::uint8_t>(bytes_[position_++]);
            value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) return value;
        }
        throw CheckpointError::malformed(what_ + " (a varint longer than ten bytes)");
    }

    bool atEnd() const noexcept { return position_ >= bytes_.size(); }

private:
    std::uint64_t readFixed(std::size_t size) {
        if (size > bytes_.size() - position_) throw CheckpointError::truncated(what_);
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes_[position_ + i])) << (8 * i);
        }
        position_ += size;
        return value;
    }

    std::string_view bytes_;
    std::string what_;
    std::size_t position_ = 0;
};

void expectWire(const Field& field, WireType wire, const std::string& what) {
    if (field.wire != wire) {
        throw CheckpointError::malformed(what + " (field " + std::to_string(field.number) + " of wire type " +
                                         std::to_string(field.wire) + ")");
    }
}

std::string text(const Field& field, const std::string& what) {
    expectWire(field, lengthDelimited, what);
    return std::string(field.bytes);
}

std::int64_t signedInteger(const Field& field, const std::string& what) {
    expectWire(field, varint, what);
    return static_cast<std::int64_t>(field.integer);
}

float floatOf(std::uint64_t bits) {
    const auto word = static_cast<std::uint32_t>(bits);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

double doubleOf(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A repeated integer field, packed (one length-delimited run of varints) or not.
template <typename T>
void appendIntegers(const Field& field, std::vector<T>& to, const std::string& what) {
    if (field.wire == varint) {
        to.push_back(static_cast<T>(static_cast<std::int64_t>(field.integer)));
        return;
    }
    expectWire(field, lengthDelimited, what);
    MessageReader packed(field.bytes, what);
    while (!packed.atEnd()) to.push_back(static_cast<T>(static_cast<std::int64_t>(packed.readVarint())));
}

// A repeated fixed-width field (float or double), packed or not.
template <typename T>
void appendFixed(const Field& field, std::vector<T>& to, const std::string& what) {
    constexpr WireType single = sizeof(T) == 4 ? fixed32 : fixed64;
    if (field.wire == single) {
        to.push_back(sizeof(T) == 4 ? static_cast<T>(floatOf(field.integer)) : static_cast<T>(doubleOf(field.integer)));
        return;
    }
    expectWire(field, lengthDelimited, what);
    if (field.bytes.size() % sizeof(T) != 0) throw CheckpointError::malformed(what + " (packed values)");
    const std::size_t first = to.size();
    to.resize(first + field.bytes.size() / sizeof(T));
    std::memcpy(to.data() + first, field.bytes.data(), field.bytes.size());
}

OnnxModel::Tensor parseTensor(std::string_view bytes, const std::string& context) {
    OnnxModel::Tensor tensor;
    const std::string what = context + ": a tensor";
    MessageReader reader(bytes, what);
    Field field;
    bool external = false;
    while (reader.next(field)) {
        switch (field.number) {
            case 1: appendIntegers(field, tensor.dims, what); break;
            case 2: tensor.dataType = static_cast<std::int32_t>(signedInteger(field, what)); break;
            case 3: throw CheckpointError::unsupported(context + ": a tensor in segments");
            case 4: appendFixed(field, tensor.floatData, what); break;
            case 5: appendIntegers(field, tensor.int32Data, what); break;
            case 7: appendIntegers(field, tensor.int64Data, what); break;
            case 8: tensor.name = text(field, what); break;
            case 9: tensor.rawData = text(field, what); break;
            case 10: appendFixed(field, tensor.doubleData, what); break;
            case 13: external = true; break;
            case 14: external = external || signedInteger(field, what) == 1; break;
            default: break;
        }
    }
    if (external) throw CheckpointError::unsupported(context + ": tensor " + tensor.name + " keeps its data in another file");
    for (const auto dim : tensor.dims) {
        if (dim < 0) throw CheckpointError::malformed(context + ": tensor " + tensor.name + " (a negative dimension)");
    }
    return tensor;
}

std::shared_ptr<const OnnxModel::Graph> parseGraph(std::string_view bytes, const std::string& context, int depth);

OnnxModel::Attribute parseAttribute(std::string_view bytes, const std::string& context, int depth) {
    OnnxModel::Attribute attribute;
    const std::string what = context + ": an attribute";
    MessageReader reader(bytes, what);
    Field field;
    while (reader.next(field)) {
        switch (field.number) {
            case 1: attribute.name = text(field, what); break;
            case 2: {
                expectWire(field, fixed32, what);
                attribute.f = floatOf(field.integer);
                break;
            }
            case 3: attribute.i = signedInteger(field, what); break;
            case 4: attribute.s = text(field, what); break;
            case 5: {
                expectWire(field, lengthDelimited, what);
                attribute.tensor = std::make_shared<const OnnxModel::Tensor>(parseTensor(field.bytes, context));
                break;
            }
            case 6:
            case 11: {
                expectWire(field, lengthDelimited, what);
                attribute.graphs.push_back(parseGraph(field.bytes, context, depth + 1));
                break;
            }
            case 7: appendFixed(field, attribute.floats, what); break;
            case 8: appendIntegers(field, attribute.ints, what); break;
            case 20: attribute.type = static_cast<std::int32_t>(signedInteger(field, what)); break;
            default: break;
        }
    }
    return attribute;
}

OnnxModel::Node parseNode(std::string_view bytes, const std::string& context, int depth) {
    OnnxModel::Node node;
    const std::string what = context + ": a node";
    MessageReader reader(bytes, what);
    Field field;
    while (reader.next(field)) {
        switch (field.number) {
            case 1: node.inputs.push_back(text(field, what)); break;
            case 2: node.outputs.push_back(text(field, what)); break;
            case 3: node.name = text(field, what); break;
            case 4: node.opType = text(field, what); break;
            case 5: {
                expectWire(field, lengthDelimited, what);
                node.attributes.push_back(parseAttribute(field.bytes, context, depth));
                break;
            }
            case 7: node.domain = text(field, what); break;
            default: break;
        }
    }
    return node;
}

// The name of a value info (its field 1).
std::string valueName(std::string_view bytes, const std::string& what) {
    MessageReader reader(bytes, what);
    Field field;
    while (reader.next(field)) {
        if (field.number == 1) return text(field, what);
    }
    return {};
}

std::shared_ptr<const OnnxModel::Graph> parseGraph(std::string_view bytes, const std::string& context, int depth) {
    if (depth > maximumGraphDepth) throw CheckpointError::malformed(context + " (graphs nested too deep)");
    auto graph = std::make_shared<OnnxModel::Graph>();
    const std::string what = context + ": a graph";
    MessageReader reader(bytes, what);
    Field field;
    while (reader.next(field)) {
        if (field.number == 1 || field.number == 5 || field.number == 11 || field.number == 12) {
            expectWire(field, lengthDelimited, what);
        }
        switch (field.number) {
            case 1: graph->nodes.push_back(parseNode(field.bytes, context, depth)); break;
            case 2: graph->name = text(field, what); break;
            case 5: graph->initializers.push_back(parseTensor(field.bytes, context)); break;
            case 11: graph->inputs.push_back(valueName(field.bytes, what)); break;
            case 12: graph->outputs.push_back(valueName(field.bytes, what)); break;
            default: break;
        }
    }
    return graph;
}

void checkCount(const OnnxModel::Tensor& tensor, std::size_t count) {
    if (count != static_cast<std::size_t>(tensor.numel())) {
        throw CheckpointError::malformed("tensor " + tensor.name + " (" + std::to_string(count) + " elements for " +
                                         std::to_string(tensor.numel()) + ")");
    }
}

// The elements of a tensor as T, from its raw bytes or its typed field.
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
        if (dim != 0 && count > std::numeric_limits<std::int64_t>::max() / dim) {
            throw CheckpointError::malformed("tensor " + name + " (too many elements)");
        }
        count *= dim;
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
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw CheckpointError::unreadable(path, "reading failed");
    return parse(bytes, path.filename().string());
}

OnnxModel OnnxModel::parse(std::string_view bytes, const std::string& what) {
    OnnxModel model;
    MessageReader reader(bytes, what);
    Field field;
    while (reader.next(field)) {
        switch (field.number) {
            case 1: model.irVersion_ = signedInteger(field, what); break;
            case 2: model.producerName_ = text(field, what); break;
            case 7: {
                expectWire(field, lengthDelimited, what);
                model.graph_ = parseGraph(field.bytes, what, 0);
                break;
            }
            case 8: {
                expectWire(field, lengthDelimited, what);
                MessageReader opset(field.bytes, what + ": an operator set");
                Field entry;
                std::string domain;
                std::int64_t version = 0;
                while (opset.next(entry)) {
                    if (entry.number == 1) domain = text(entry, opset.what());
                    if (entry.number == 2) version = signedInteger(entry, opset.what());
                }
                model.opsets_[domain] = version;
                break;
            }
            default: break;
        }
    }
    if (!model.graph_) throw CheckpointError::malformed(what + " (no graph: not an ONNX model)");
    return model;
}

}  // namespace rarivoredu
