#include "RarivOredu/checkpoint/OnnxModel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {
namespace {

// Protocol-buffer encoding, enough to write small models.
std::string varint(std::uint64_t value) {
    std::string bytes;
    do {
        std::uint8_t byte = value & 0x7f;
        value >>= 7;
        if (value != 0) byte |= 0x80;
        bytes.push_back(static_cast<char>(byte));
    } while (value != 0);
    return bytes;
}
std::string key(int number, int wire) { return varint(static_cast<std::uint64_t>(number) << 3 | wire); }
std::string integer(int number, std::int64_t value) { return key(number, 0) + varint(static_cast<std::uint64_t>(value)); }
std::string bytes(int number, const std::string& content) { return key(number, 2) + varint(content.size()) + content; }
std::string floats(const std::vector<float>& values) {
    std::string raw(values.size() * sizeof(float), '\0');
    std::memcpy(raw.data(), values.data(), raw.size());
    return raw;
}

// TensorProto: dims 1, data_type 2, float_data 4, int64_data 7, name 8, raw_data 9.
std::string floatTensor(const std::string& name, const std::vector<std::int64_t>& dims, const std::vector<float>& values,
                        bool raw) {
    std::string t;
    for (const auto dim : dims) t += integer(1, dim);
    t += integer(2, 1) + bytes(8, name);
    t += raw ? bytes(9, floats(values)) : bytes(4, floats(values));
    return t;
}
std::string int64Tensor(const std::vector<std::int64_t>& values) {
    std::string packed;
    for (const auto value : values) packed += varint(static_cast<std::uint64_t>(value));
    return integer(1, static_cast<std::int64_t>(values.size())) + integer(2, 7) + bytes(7, packed);
}
// NodeProto: input 1, output 2, name 3, op_type 4, attribute 5. AttributeProto: name 1, i 3,
// t 5, g 6, ints 8, type 20.
std::string constantNode(const std::string& output, const std::string& tensor) {
    return bytes(2, output) + bytes(4, "Constant") + bytes(5, bytes(1, "value") + bytes(5, tensor) + integer(20, 4));
}
// GraphProto: node 1, name 2, initializer 5, input 11, output 12 (ValueInfoProto: name 1).
std::string model(const std::string& graph) {
    return integer(1, 8) + bytes(2, "test") + bytes(8, bytes(1, "") + integer(2, 16)) + bytes(7, graph);
}

std::vector<float> values(const platform::MLMultiArrayPtr& array) {
    return std::vector<float>(array->data<float>(), array->data<float>() + array->count());
}

TEST(OnnxModelTest, ReadsNodesAttributesTensorsAndSubgraphs) {
    const std::string branch =
        bytes(2, "then") + bytes(1, constantNode("inner", floatTensor("", {2}, {0.5f, -0.5f}, false)));
    const std::string ifNode = bytes(1, "condition") + bytes(2, "result") + bytes(4, "If") +
                               bytes(5, bytes(1, "then_branch") + bytes(6, branch) + integer(20, 5)) +
                               bytes(5, bytes(1, "axes") + integer(8, 1) + integer(8, -1) + integer(20, 7));
    const std::string graph = bytes(2, "main") + bytes(5, floatTensor("weight", {2, 3}, {1, 2, 3, 4, 5, 6}, true)) +
                              bytes(1, constantNode("shape", int64Tensor({4, -2}))) + bytes(1, ifNode) +
                              bytes(11, bytes(1, "condition")) + bytes(12, bytes(1, "result"));
    const auto onnx = OnnxModel::parse(model(graph));

    EXPECT_EQ(onnx.irVersion(), 8);
    EXPECT_EQ(onnx.producerName(), "test");
    EXPECT_EQ(onnx.opsetVersions().at(""), 16);
    const auto& main = onnx.graph();
    EXPECT_EQ(main.name, "main");
    EXPECT_EQ(main.inputs, std::vector<std::string>{"condition"});
    EXPECT_EQ(main.outputs, std::vector<std::string>{"result"});
    ASSERT_EQ(main.nodes.size(), 2u);

    const auto constants = main.constants();
    ASSERT_EQ(constants.size(), 2u);  // the subgraph's tensor is its own
    const auto weight = constants.at("weight")->toFloat32();
    EXPECT_EQ(weight->shape(), (std::vector<std::int64_t>{2, 3}));
    EXPECT_EQ(values(weight), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(constants.at("shape")->toInt64(), (std::vector<std::int64_t>{4, -2}));
    EXPECT_EQ(values(constants.at("shape")->toFloat32()), (std::vector<float>{4, -2}));

    const auto& node = main.nodes[1];
    EXPECT_EQ(node.opType, "If");
    EXPECT_EQ(node.inputs, std::vector<std::string>{"condition"});
    ASSERT_NE(node.attribute("axes"), nullptr);
    EXPECT_EQ(node.attribute("axes")->ints, (std::vector<std::int64_t>{1, -1}));
    EXPECT_EQ(node.attribute("else_branch"), nullptr);
    const auto* then = node.attribute("then_branch");
    ASSERT_NE(then, nullptr);
    ASSERT_EQ(then->graphs.size(), 1u);
    EXPECT_EQ(then->graphs[0]->name, "then");
    EXPECT_EQ(values(then->graphs[0]->constants().at("inner")->toFloat32()), (std::vector<float>{0.5f, -0.5f}));
}

TEST(OnnxModelTest, MalformedFilesAreRefused) {
    std::string nested = bytes(2, "leaf");
    for (int depth = 0; depth < 70; ++depth) {
        nested = bytes(1, bytes(4, "If") + bytes(5, bytes(1, "then_branch") + bytes(6, nested)));
    }
    const std::string tensorGraph = bytes(5, floatTensor("w", {2, 2}, {1, 2, 3}, true));
    const struct {
        const char* what;
        std::string bytes;
        CheckpointError::Kind kind;
    } cases[] = {
        {"a length beyond the end", model(bytes(2, "g")).substr(0, 20) + key(7, 2) + varint(100), CheckpointError::Kind::truncated},
        {"a varint cut short", integer(1, 8) + "\x80", CheckpointError::Kind::truncated},
        {"a varint of eleven bytes", std::string("\x08") + std::string(10, '\x80') + "\x01", CheckpointError::Kind::malformed},
        {"a group (wire type 3)", integer(1, 8) + key(9, 3), CheckpointError::Kind::malformed},
        {"a field of the wrong wire type", integer(7, 1), CheckpointError::Kind::malformed},
        {"no graph", integer(1, 8), CheckpointError::Kind::malformed},
        {"graphs nested too deep", model(nested), CheckpointError::Kind::malformed},
        {"a negative dimension", model(bytes(5, integer(1, -3) + integer(2, 1))), CheckpointError::Kind::malformed},
        {"data elsewhere", model(bytes(5, integer(1, 2) + integer(2, 1) + integer(14, 1))), CheckpointError::Kind::unsupported},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            OnnxModel::parse(c.bytes, "test.onnx");
            ADD_FAILURE() << "parsed";
        } catch (const CheckpointError& error) {
            EXPECT_EQ(error.kind(), c.kind) << error.what();
            EXPECT_NE(std::string(error.what()).find("test.onnx"), std::string::npos) << error.what();
        }
    }

    // Elements that do not fill the dimensions are found when the tensor is converted.
    const auto onnx = OnnxModel::parse(model(tensorGraph));
    try {
        onnx.graph().constants().at("w")->toFloat32();
        ADD_FAILURE() << "converted";
    } catch (const CheckpointError& error) {
        EXPECT_EQ(error.kind(), CheckpointError::Kind::malformed);
        EXPECT_EQ(std::string(error.what()), "tensor w (3 elements for 4) is malformed");
    }
    EXPECT_THROW(onnx.graph().constants().at("w")->toInt64(), CheckpointError);
}

// Tensors without elements: an empty packed float field, and dimensions whose product is 0
// while their strides would overflow.
TEST(OnnxModelTest, TensorsWithoutElementsConvertToEmptyArrays) {
    const std::int64_t huge = std::int64_t{1} << 40;
    const std::string graph = bytes(5, integer(1, 0) + integer(2, 1) + bytes(8, "packed") + bytes(4, "")) +
                              bytes(5, integer(1, 0) + integer(1, huge) + integer(1, huge) + integer(2, 1) + bytes(8, "wide"));
    const auto onnx = OnnxModel::parse(model(graph), "test.onnx");
    const auto constants = onnx.graph().constants();
    EXPECT_EQ(constants.at("packed")->toFloat32()->count(), 0);
    const auto wide = constants.at("wide")->toFloat32();
    EXPECT_EQ(wide->count(), 0);
    EXPECT_EQ(wide->shape(), (std::vector<std::int64_t>{0, huge, huge}));
}

}  // namespace
}  // namespace rarivoredu
