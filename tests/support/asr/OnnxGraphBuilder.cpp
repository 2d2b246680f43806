#include "tests/support/asr/OnnxGraphBuilder.h"

#include <onnx/onnx_pb.h>

#include <stdexcept>

namespace testsupport {
namespace {

// Constants of more bytes than this go into the data file.
constexpr std::size_t kInlineBytes = 1024;
// Offsets in the data file are kept aligned, so that a runtime may map the tensors in place.
constexpr std::uint64_t kAlignment = 4096;

void setShape(onnx::ValueInfoProto& value, const OnnxGraphBuilder::Shape& shape, const std::string& dynamic) {
    auto* type = value.mutable_type()->mutable_tensor_type();
    type->set_elem_type(onnx::TensorProto_DataType_FLOAT);
    auto* dims = type->mutable_shape();
    for (const std::int64_t d : shape) {
        if (d < 0) dims->add_dim()->set_dim_param(dynamic);
        else dims->add_dim()->set_dim_value(d);
    }
}

}  // namespace

OnnxGraphBuilder::OnnxGraphBuilder(std::filesystem::path file)
    : file_(std::move(file)), dataName_(file_.filename().string() + ".data"), model_(std::make_unique<onnx::ModelProto>()) {
    data_.open(file_.parent_path() / dataName_, std::ios::binary | std::ios::trunc);
    if (!data_) throw std::runtime_error("cannot write " + (file_.parent_path() / dataName_).string());
    model_->set_ir_version(8);
    model_->set_producer_name("parloquin-bench");
    auto* opset = model_->add_opset_import();
    opset->set_domain("");
    opset->set_version(17);
    model_->mutable_graph()->set_name("graph");
}

OnnxGraphBuilder::~OnnxGraphBuilder() = default;

void OnnxGraphBuilder::input(const std::string& name, const Shape& shape, const std::string& dynamic) {
    auto* value = model_->mutable_graph()->add_input();
    value->set_name(name);
    setShape(*value, shape, dynamic);
}

void OnnxGraphBuilder::output(const std::string& name, const Shape& shape, const std::string& dynamic) {
    auto* value = model_->mutable_graph()->add_output();
    value->set_name(name);
    setShape(*value, shape, dynamic);
}

std::string OnnxGraphBuilder::tensor(const std::string& name, int dataType, const Shape& shape, const void* bytes,
                                     std::size_t size) {
    auto* t = model_->mutable_graph()->add_initializer();
    t->set_name(name.empty() ? "const" + std::to_string(counter_++) : name);
    t->set_data_type(dataType);
    for (const std::int64_t d : shape) t->add_dims(d);
    if (size <= kInlineBytes) {
        t->set_raw_data(bytes, size);
        return t->name();
    }
    const std::uint64_t padding = (kAlignment - dataOffset_ % kAlignment) % kAlignment;
    const std::string zeros(padding, '\0');
    data_.write(zeros.data(), static_cast<std::streamsize>(padding));
    dataOffset_ += padding;
    data_.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!data_) throw std::runtime_error("cannot write the weights of " + file_.string());
    t->set_data_location(onnx::TensorProto_DataLocation_EXTERNAL);
    auto entry = [&](const std::string& key, const std::string& value) {
        auto* e = t->add_external_data();
        e->set_key(key);
        e->set_value(value);
    };
    entry("location", dataName_);
    entry("offset", std::to_string(dataOffset_));
    entry("length", std::to_string(size));
    dataOffset_ += size;
    return t->name();
}

std::string OnnxGraphBuilder::floats(const std::string& name, const Shape& shape, const float* values) {
    std::size_t count = 1;
    for (const std::int64_t d : shape) count *= static_cast<std::size_t>(d);
    return tensor(name, onnx::TensorProto_DataType_FLOAT, shape, values, count * sizeof(float));
}

std::string OnnxGraphBuilder::int8s(const std::string& name, const Shape& shape, const std::int8_t* values) {
    std::size_t count = 1;
    for (const std::int64_t d : shape) count *= static_cast<std::size_t>(d);
    return tensor(name, onnx::TensorProto_DataType_INT8, shape, values, count);
}

std::string OnnxGraphBuilder::int64s(const Shape& shape, const std::vector<std::int64_t>& values) {
    return tensor({}, onnx::TensorProto_DataType_INT64, shape, values.data(), values.size() * sizeof(std::int64_t));
}

std::string OnnxGraphBuilder::floatScalar(float value) {
    return tensor({}, onnx::TensorProto_DataType_FLOAT, {}, &value, sizeof value);
}

std::vector<std::string> OnnxGraphBuilder::nodes(const std::string& op, const std::vector<std::string>& inputs,
                                                 int outputs, const Attributes& attributes) {
    auto* n = model_->mutable_graph()->add_node();
    n->set_op_type(op);
    n->set_name(op + std::to_string(counter_));
    for (const auto& input : inputs) n->add_input(input);
    std::vector<std::string> names;
    for (int i = 0; i < outputs; ++i) {
        names.push_back("t" + std::to_string(counter_++));
        n->add_output(names.back());
    }
    if (attributes) attributes(*n);
    return names;
}

void OnnxGraphBuilder::alias(const std::string& value, const std::string& name) {
    auto* n = model_->mutable_graph()->add_node();
    n->set_op_type("Identity");
    n->set_name("Identity_" + name);
    n->add_input(value);
    n->add_output(name);
}

void OnnxGraphBuilder::intAttribute(onnx::NodeProto& node, const std::string& name, std::int64_t value) {
    auto* a = node.add_attribute();
    a->set_name(name);
    a->set_type(onnx::AttributeProto_AttributeType_INT);
    a->set_i(value);
}

void OnnxGraphBuilder::floatAttribute(onnx::NodeProto& node, const std::string& name, float value) {
    auto* a = node.add_attribute();
    a->set_name(name);
    a->set_type(onnx::AttributeProto_AttributeType_FLOAT);
    a->set_f(value);
}

void OnnxGraphBuilder::intsAttribute(onnx::NodeProto& node, const std::string& name,
                                     const std::vector<std::int64_t>& values) {
    auto* a = node.add_attribute();
    a->set_name(name);
    a->set_type(onnx::AttributeProto_AttributeType_INTS);
    for (const std::int64_t v : values) a->add_ints(v);
}

void OnnxGraphBuilder::save() {
    data_.close();
    if (!data_) throw std::runtime_error("cannot write the weights of " + file_.string());
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    if (!out || !model_->SerializeToOstream(&out)) throw std::runtime_error("cannot write " + file_.string());
}

}  // namespace testsupport
