#include "RarivOredu/checkpoint/PickleValue.h"

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/PickleNode.h"

namespace rarivoredu {
namespace {

const PickleValue::Node& noneNode() {
    static const PickleValue::Node none;
    return none;
}

[[noreturn]] void wrongType(const char* expected, PickleValue::Type found) {
    throw CheckpointError::malformed(std::string("a pickled value (") + expected + " expected, " +
                                     PickleValue::typeName(found) + " found)");
}

bool isSequence(PickleValue::Type type) {
    using Type = PickleValue::Type;
    return type == Type::list || type == Type::tuple || type == Type::set || type == Type::frozenset ||
           type == Type::object;
}

}  // namespace

PickleValue::PickleValue() = default;

const PickleValue::Node& PickleValue::node() const noexcept { return node_ ? *node_ : noneNode(); }

PickleValue::Type PickleValue::type() const noexcept { return node().type; }

const char* PickleValue::typeName(Type type) noexcept {
    switch (type) {
        case Type::none: return "none";
        case Type::boolean: return "bool";
        case Type::integer: return "int";
        case Type::bigInteger: return "big int";
        case Type::floating: return "float";
        case Type::string: return "str";
        case Type::bytes: return "bytes";
        case Type::list: return "list";
        case Type::tuple: return "tuple";
        case Type::dict: return "dict";
        case Type::set: return "set";
        case Type::frozenset: return "frozenset";
        case Type::global: return "global";
        case Type::object: return "object";
        case Type::storage: return "storage";
        case Type::tensor: return "tensor";
        case Type::dtype: return "dtype";
    }
    return "?";
}

bool PickleValue::asBool() const {
    if (type() != Type::boolean) wrongType("bool", type());
    return node().boolean;
}

std::int64_t PickleValue::asInt() const {
    if (type() == Type::boolean) return node().boolean ? 1 : 0;
    if (type() != Type::integer) wrongType("int", type());
    return node().integer;
}

double PickleValue::asDouble() const {
    if (type() == Type::integer) return static_cast<double>(node().integer);
    if (type() != Type::floating) wrongType("float", type());
    return node().floating;
}

const std::string& PickleValue::asString() const {
    if (type() != Type::string && type() != Type::bytes) wrongType("str", type());
    return node().text;
}

const std::string& PickleValue::asBytes() const {
    if (type() != Type::bytes && type() != Type::bigInteger) wrongType("bytes", type());
    return node().text;
}

std::vector<PickleValue> PickleValue::items() const {
    if (!isSequence(type())) wrongType("list or tuple", type());
    std::vector<PickleValue> values;
    values.reserve(node().items.size());
    for (const Node* item : node().items) values.push_back(wrap(item));
    return values;
}

std::size_t PickleValue::size() const {
    if (type() == Type::dict) return node().dict.size();
    if (!isSequence(type())) wrongType("list or tuple", type());
    return node().items.size();
}

PickleValue PickleValue::operator[](std::size_t index) const {
    if (!isSequence(type())) wrongType("list or tuple", type());
    if (index >= node().items.size())
        throw CheckpointError::malformed("a pickled " + std::string(typeName(type())) + " (index " +
                                         std::to_string(index) + " of " + std::to_string(node().items.size()) + ")");
    return wrap(node().items[index]);
}

std::vector<std::pair<PickleValue, PickleValue>> PickleValue::dictItems() const {
    if (type() != Type::dict && type() != Type::object) wrongType("dict", type());
    std::vector<std::pair<PickleValue, PickleValue>> values;
    values.reserve(node().dict.size());
    for (const auto& [key, value] : node().dict) values.emplace_back(wrap(key), wrap(value));
    return values;
}

PickleValue PickleValue::get(std::string_view key) const {
    if (type() != Type::dict && type() != Type::object) return PickleValue();
    // The last assignment wins, as in Python.
    for (auto it = node().dict.rbegin(); it != node().dict.rend(); ++it)
        if (it->first->type == Type::string && it->first->text == key) return wrap(it->second);
    return PickleValue();
}

bool PickleValue::contains(std::string_view key) const {
    if (type() != Type::dict && type() != Type::object) return false;
    for (const auto& [k, value] : node().dict)
        if (k->type == Type::string && k->text == key) return true;
    return false;
}

const std::string& PickleValue::moduleName() const {
    if (type() != Type::global && type() != Type::object) wrongType("object", type());
    return node().text;
}

const std::string& PickleValue::className() const {
    if (type() != Type::global && type() != Type::object) wrongType("object", type());
    return node().name;
}

PickleValue PickleValue::arguments() const {
    if (type() != Type::object) wrongType("object", type());
    return wrap(node().arguments);
}

PickleValue PickleValue::keywordArguments() const {
    if (type() != Type::object) wrongType("object", type());
    return wrap(node().keywordArguments);
}

PickleValue PickleValue::state() const { return wrap(node().state); }

const TensorRecord& PickleValue::tensor() const {
    if (type() != Type::tensor) wrongType("tensor", type());
    return *node().tensor;
}

TensorRecord::DType PickleValue::storageDType() const {
    if (type() != Type::storage) wrongType("storage", type());
    return node().tensor->dtype;
}

const std::string& PickleValue::storageKey() const {
    if (type() != Type::storage) wrongType("storage", type());
    return node().tensor->storageKey;
}

std::int64_t PickleValue::storageSize() const {
    if (type() != Type::storage) wrongType("storage", type());
    return node().integer;
}

TensorRecord::DType PickleValue::dtype() const {
    if (type() != Type::dtype && type() != Type::storage && type() != Type::tensor) wrongType("dtype", type());
    return node().tensor->dtype;
}

}  // namespace rarivoredu
