#include "RarivOredu/checkpoint/PickleCallInterpreter.h"

#include <optional>

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {
namespace {

using Node = PickleValue::Node;
using Type = PickleValue::Type;
using DType = TensorRecord::DType;

// Nested calls of torch's rebuild functions.
constexpr int maxCallDepth = 16;
// More dimensions than this are no tensor of a model.
constexpr std::size_t maxTensorRank = 16;

std::optional<DType> storageDType(const std::string& module, const std::string& name) {
    if (module != "torch" && module != "torch.storage") return std::nullopt;
    static const std::pair<const char*, DType> types[] = {
        {"FloatStorage", DType::float32},  {"HalfStorage", DType::float16},  {"BFloat16Storage", DType::bfloat16},
        {"DoubleStorage", DType::float64}, {"LongStorage", DType::int64},    {"IntStorage", DType::int32},
        {"ShortStorage", DType::int16},    {"CharStorage", DType::int8},     {"ByteStorage", DType::uint8},
        {"BoolStorage", DType::boolean},   {"UntypedStorage", DType::uint8}, {"_UntypedStorage", DType::uint8},
    };
    for (const auto& [text, dtype] : types)
        if (name == text) return dtype;
    return std::nullopt;
}

std::optional<DType> torchDType(const std::string& module, const std::string& name) {
    if (module != "torch") return std::nullopt;
    static const std::pair<const char*, DType> types[] = {
        {"float32", DType::float32}, {"float", DType::float32},     {"float16", DType::float16},
        {"half", DType::float16},    {"bfloat16", DType::bfloat16}, {"float64", DType::float64},
        {"double", DType::float64},  {"int64", DType::int64},       {"long", DType::int64},
        {"int32", DType::int32},     {"int", DType::int32},         {"int16", DType::int16},
        {"short", DType::int16},     {"int8", DType::int8},         {"uint8", DType::uint8},
        {"bool", DType::boolean},
    };
    for (const auto& [text, dtype] : types)
        if (name == text) return dtype;
    return std::nullopt;
}

bool isGlobal(const Node* node, std::string_view module, std::string_view name) {
    return node->type == Type::global && node->text == module && node->name == name;
}

}  // namespace

PickleCallInterpreter::PickleCallInterpreter(PickleDocumentBuilder& builder, const StorageResolver& storage)
    : builder_(builder), storage_(storage) {}

Node* PickleCallInterpreter::global(std::string_view module, std::string_view name) {
    Node* node = builder_.make(Type::global);
    // Python 2's names, which protocol 2 keeps writing.
    if (module == "__builtin__") module = "builtins";
    if (module == "copy_reg") module = "copyreg";
    node->text.assign(module);
    node->name.assign(name);
    if (const auto dtype = torchDType(node->text, node->name)) {
        node->type = Type::dtype;
        node->tensor = std::make_unique<TensorRecord>();
        node->tensor->dtype = *dtype;
    }
    return node;
}

std::int64_t PickleCallInterpreter::intArgument(const Node* node, const char* what) {
    if (node->type == Type::integer) return node->integer;
    builder_.malformed(std::string(what) + " is not an int");
}

std::vector<std::int64_t> PickleCallInterpreter::intTuple(const Node* node, const char* what) {
    // torch.Size((…)) as some writers give sizes.
    if (node->type == Type::object && node->text == "torch" && node->name == "Size" && node->arguments &&
        node->arguments->type == Type::tuple && node->arguments->items.size() == 1)
        node = node->arguments->items[0];
    if (node->type != Type::tuple && node->type != Type::list) builder_.malformed(std::string(what) + " is not a tuple");
    if (node->items.size() > maxTensorRank) builder_.malformed(std::string(what) + " has too many dimensions");
    std::vector<std::int64_t> values;
    values.reserve(node->items.size());
    for (const Node* item : node->items) values.push_back(intArgument(item, what));
    return values;
}

Node* PickleCallInterpreter::rebuildTensor(const std::vector<Node*>& args) {
    if (args.size() < 4) builder_.malformed("tensor rebuilt from too few arguments");
    const Node* storage = args[0];
    if (storage->type != Type::storage) builder_.malformed("tensor rebuilt from something not a storage");
    builder_.charge(storage->tensor->storageKey.size() + storage->tensor->storage.name().size(), 1);
    Node* node = builder_.make(Type::tensor);
    node->tensor = std::make_unique<TensorRecord>(*storage->tensor);
    TensorRecord& tensor = *node->tensor;
    tensor.storageOffset = intArgument(args[1], "tensor storage offset");
    tensor.shape = intTuple(args[2], "tensor size");
    tensor.strides = intTuple(args[3], "tensor stride");
    if (tensor.shape.size() != tensor.strides.size()) builder_.malformed("tensor size and stride differ in length");
    if (tensor.storageOffset < 0) builder_.malformed("negative tensor storage offset");
    for (std::size_t i = 0; i < tensor.shape.size(); ++i)
        if (tensor.shape[i] < 0 || tensor.strides[i] < 0) builder_.malformed("negative tensor size or stride");
    return node;
}

Node* PickleCallInterpreter::call(Node* callable, Node* args, int depth) {
    if (depth > maxCallDepth) builder_.malformed("calls nested too deeply");
    const bool argsAreTuple = args->type == Type::tuple;
    static const std::vector<Node*> noArgs;
    const std::vector<Node*>& list = argsAreTuple ? args->items : noArgs;
    if (callable->type == Type::global) {
        const std::string& module = callable->text;
        const std::string& name = callable->name;
        if (!argsAreTuple) builder_.malformed("call arguments are not a tuple");
        if (module == "collections" && name == "OrderedDict") {
            Node* dict = builder_.make(Type::dict);
            if (!list.empty()) {
                // OrderedDict([(key, value), …]) as older protocols write it.
                const Node* pairs = list[0];
                if (pairs->type != Type::list && pairs->type != Type::tuple) builder_.malformed("OrderedDict argument");
                builder_.charge(pairs->items.size(), 2 * sizeof(Node*));
                for (const Node* pair : pairs->items) {
                    if ((pair->type != Type::list && pair->type != Type::tuple) || pair->items.size() != 2)
                        builder_.malformed("OrderedDict item");
                    dict->dict.emplace_back(pair->items[0], pair->items[1]);
                }
            }
            return dict;
        }
        if (module == "torch._utils" && (name == "_rebuild_tensor_v2" || name == "_rebuild_tensor"))
            return rebuildTensor(list);
        if (module == "torch._utils" && name == "_rebuild_tensor_v3") {
            // (storage, offset, size, stride, requires_grad, hooks, dtype, metadata): an untyped
            // storage read as the dtype given.
            if (list.size() < 7) builder_.malformed("tensor rebuilt from too few arguments");
            const Node* dtype = list[6];
            if (dtype->type != Type::dtype)
                throw CheckpointError::unsupported(
                    builder_.what() + ": a tensor of type " +
                    (dtype->type == Type::global ? dtype->text + "." + dtype->name : std::string("?")));
            Node* tensor = rebuildTensor(list);
            tensor->tensor->dtype = dtype->tensor->dtype;
            return tensor;
        }
        if (module == "torch._utils" && (name == "_rebuild_parameter" || name == "_rebuild_parameter_with_state")) {
            if (list.empty() || list[0]->type != Type::tensor) builder_.malformed("parameter rebuilt from no tensor");
            return list[0];
        }
        if ((module == "torch._tensor" || module == "torch._utils") && name == "_rebuild_from_type_v2") {
            // (function, type, arguments, state): the function's result stands for the subclass.
            if (list.size() < 3) builder_.malformed("_rebuild_from_type_v2 arguments");
            return call(list[0], list[2], depth + 1);
        }
        if (module == "builtins" && (name == "set" || name == "frozenset")) {
            Node* set = builder_.make(name == "set" ? Type::set : Type::frozenset);
            if (!list.empty()) {
                const Node* source = list[0];
                if (source->type != Type::list && source->type != Type::tuple && source->type != Type::set &&
                    source->type != Type::frozenset)
                    builder_.malformed("set built from something not a sequence");
                builder_.charge(source->items.size(), sizeof(Node*));
                set->items = source->items;
            }
            return set;
        }
        if (module == "builtins" && name == "bytearray") {
            if (list.empty()) return builder_.text(Type::bytes, "");
            if (list[0]->type == Type::bytes) {
                builder_.charge(list[0]->text.size(), 1);
                return builder_.text(Type::bytes, list[0]->text);
            }
        }
        if (module == "_codecs" && name == "encode") return encode(list);
    }
    // Anything else is kept as an opaque instance of what was called.
    Node* object = builder_.make(Type::object);
    if (callable->type == Type::global) {
        object->text = callable->text;
        object->name = callable->name;
    }
    object->arguments = args;
    return object;
}

// _codecs.encode(text, encoding): protocol 2's way of writing bytes.
Node* PickleCallInterpreter::encode(const std::vector<Node*>& args) {
    if (args.empty() || args[0]->type != Type::string) builder_.malformed("_codecs.encode of something not text");
    const std::string encoding = args.size() > 1 && args[1]->type == Type::string ? args[1]->text : "utf-8";
    const std::string& source = args[0]->text;
    builder_.charge(source.size(), 1);
    if (encoding == "utf-8" || encoding == "utf8") return builder_.text(Type::bytes, source);
    if (encoding != "latin1" && encoding != "latin-1" && encoding != "iso-8859-1")
        throw CheckpointError::unsupported(builder_.what() + ": bytes encoded as " + encoding);
    std::string bytes;
    bytes.reserve(source.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        const auto c = static_cast<unsigned char>(source[i]);
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else if ((c == 0xc2 || c == 0xc3) && i + 1 < source.size() &&
                   (static_cast<unsigned char>(source[i + 1]) & 0xc0) == 0x80) {
            bytes.push_back(
                static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(source[i + 1]) & 0x3f)));
            ++i;
        } else {
            builder_.malformed("latin-1 text outside latin-1");
        }
    }
    return builder_.text(Type::bytes, bytes);
}

Node* PickleCallInterpreter::persistentLoad(Node* pid) {
    if (pid->type != Type::tuple || pid->items.size() < 5 || pid->items[0]->type != Type::string ||
        pid->items[0]->text != "storage")
        throw CheckpointError::unsupported(builder_.what() + ": a persistent id other than a storage");
    const Node* kind = pid->items[1];
    std::optional<DType> dtype;
    if (kind->type == Type::global) dtype = storageDType(kind->text, kind->name);
    if (kind->type == Type::dtype) dtype = kind->tensor->dtype;
    if (!dtype)
        throw CheckpointError::unsupported(
            builder_.what() + ": storage type " +
            (kind->type == Type::global ? kind->text + "." + kind->name : std::string("?")));
    const Node* key = pid->items[2];
    if (key->type != Type::string && key->type != Type::integer) builder_.malformed("storage key");
    const Node* size = pid->items[4];
    if (size->type != Type::integer || size->integer < 0) builder_.malformed("storage size");
    builder_.charge(key->text.size(), 1);
    Node* node = builder_.make(Type::storage);
    node->tensor = std::make_unique<TensorRecord>();
    node->tensor->dtype = *dtype;
    node->tensor->storageKey = key->type == Type::string ? key->text : std::to_string(key->integer);
    node->integer = size->integer;
    if (storage_) {
        node->tensor->storage = storage_(node->tensor->storageKey);
        builder_.charge(node->tensor->storage.name().size(), 1);
    }
    return node;
}

// cls.__new__(cls, *args): dicts and sets of known classes stay containers.
Node* PickleCallInterpreter::newObject(Node* cls, Node* args, Node* kwargs) {
    if (isGlobal(cls, "collections", "OrderedDict")) return builder_.make(Type::dict);
    if (isGlobal(cls, "builtins", "set")) return builder_.make(Type::set);
    Node* object = call(cls, args);
    if (object->type == Type::object) object->keywordArguments = kwargs;
    return object;
}

}  // namespace rarivoredu
