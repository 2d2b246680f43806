#include "RarivOredu/checkpoint/PickleReader.h"

#include <bit>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/PickleNode.h"

namespace rarivoredu {
namespace {

using Node = PickleValue::Node;
using Type = PickleValue::Type;
using DType = TensorRecord::DType;

// More objects than this are not a checkpoint's pickle; a hostile one could otherwise ask for
// gigabytes with a few megabytes of input.
constexpr std::size_t maxNodes = std::size_t{1} << 20;
// Nested calls of torch's rebuild functions.
constexpr int maxCallDepth = 16;
// Items and bytes that calls copy out of values already read (a set made from a list, an
// OrderedDict from its pairs, bytes re-encoded): each call is a few bytes of input, so without a
// budget a small pickle could copy one large value over and over.
constexpr std::size_t maxCopiedBytes = std::size_t{64} << 20;
// More dimensions than this are no tensor of a model.
constexpr std::size_t maxTensorRank = 16;

enum Opcode : unsigned char {
    MARK = '(',
    STOP = '.',
    POP = '0',
    POP_MARK = '1',
    DUP = '2',
    BINFLOAT = 'G',
    BININT = 'J',
    BININT1 = 'K',
    BININT2 = 'M',
    NONE = 'N',
    BINPERSID = 'Q',
    REDUCE = 'R',
    BINSTRING = 'T',
    SHORT_BINSTRING = 'U',
    BINUNICODE = 'X',
    APPEND = 'a',
    BUILD = 'b',
    GLOBAL = 'c',
    DICT = 'd',
    EMPTY_DICT = '}',
    APPENDS = 'e',
    BINGET = 'h',
    LONG_BINGET = 'j',
    LIST = 'l',
    EMPTY_LIST = ']',
    BINPUT = 'q',
    LONG_BINPUT = 'r',
    SETITEM = 's',
    TUPLE = 't',
    EMPTY_TUPLE = ')',
    SETITEMS = 'u',
    BINBYTES = 'B',
    SHORT_BINBYTES = 'C',
    PROTO = 0x80,
    NEWOBJ = 0x81,
    TUPLE1 = 0x85,
    TUPLE2 = 0x86,
    TUPLE3 = 0x87,
    NEWTRUE = 0x88,
    NEWFALSE = 0x89,
    LONG1 = 0x8a,
    LONG4 = 0x8b,
    SHORT_BINUNICODE = 0x8c,
    BINUNICODE8 = 0x8d,
    BINBYTES8 = 0x8e,
    EMPTY_SET = 0x8f,
    ADDITEMS = 0x90,
    FROZENSET = 0x91,
    NEWOBJ_EX = 0x92,
    STACK_GLOBAL = 0x93,
    MEMOIZE = 0x94,
    FRAME = 0x95,
    BYTEARRAY8 = 0x96,
};

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

class Unpickler {
public:
    Unpickler(std::string_view bytes, const std::string& what, const PickleReader::StorageResolver& storage)
        : bytes_(bytes), what_(what), storage_(storage), document_(std::make_shared<PickleValue::Document>()) {}

    const Node* run() {
        for (;;) {
            opcodeAt_ = at_;
            const unsigned char op = take<std::uint8_t>();
            if (op == STOP) return pop();
            step(op);
        }
    }

    const std::shared_ptr<PickleValue::Document>& document() const { return document_; }

private:
    // Errors -------------------------------------------------------------------------------------
    [[noreturn]] void malformed(const std::string& problem) const {
        throw CheckpointError::malformed(what_ + " (" + problem + " at byte " + std::to_string(opcodeAt_) + ")");
    }
    [[noreturn]] void truncated() const { throw CheckpointError::truncated(what_); }

    // Input --------------------------------------------------------------------------------------
    template <typename T>
    T take() {
        if (bytes_.size() - at_ < sizeof(T)) truncated();
        T value;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    std::string_view takeBytes(std::uint64_t count) {
        if (count > bytes_.size() - at_) truncated();
        const std::string_view view = bytes_.substr(at_, static_cast<std::size_t>(count));
        at_ += static_cast<std::size_t>(count);
        return view;
    }

    std::string_view takeLine() {
        const std::size_t end = bytes_.find('\n', at_);
        if (end == std::string_view::npos) truncated();
        const std::string_view line = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }

    // Stack --------------------------------------------------------------------------------------
    Node* make(Type type) {
        if (document_->nodes.size() >= maxNodes) throw CheckpointError::unsupported(what_ + " holds too many objects");
        return document_->make(type);
    }

    // Counts what a call copies out of values already read against the budget.
    void charge(std::size_t items, std::size_t itemSize) {
        if (items > (maxCopiedBytes - copied_) / itemSize)
            throw CheckpointError::unsupported(what_ + " copies its values too often");
        copied_ += items * itemSize;
    }

    void push(Node* node) { stack_.push_back(node); }

    Node* pop() {
        if (stack_.size() <= floor()) malformed("stack underflow");
        Node* node = stack_.back();
        stack_.pop_back();
        return node;
    }

    Node* top() {
        if (stack_.size() <= floor()) malformed("stack underflow");
        return stack_.back();
    }

    std::size_t floor() const { return marks_.empty() ? 0 : marks_.back(); }

    // The items above the last mark, removing them and the mark.
    std::vector<Node*> popMark() {
        if (marks_.empty()) malformed("no mark");
        const std::size_t mark = marks_.back();
        marks_.pop_back();
        std::vector<Node*> items(stack_.begin() + static_cast<std::ptrdiff_t>(mark), stack_.end());
        stack_.resize(mark);
        return items;
    }

    Node* tuple(std::vector<Node*> items) {
        Node* node = make(Type::tuple);
        node->items = std::move(items);
        return node;
    }

    Node* text(Type type, std::string_view value) {
        Node* node = make(type);
        node->text.assign(value);
        return node;
    }

    Node* integer(std::int64_t value) {
        Node* node = make(Type::integer);
        node->integer = value;
        return node;
    }

    // Little-endian two's complement of any length.
    Node* longValue(std::string_view data) {
        if (data.size() > 8) return text(Type::bigInteger, data);
        std::uint64_t value = 0;
        for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(data[i]);
        if (!data.empty() && data.size() < 8 && (static_cast<unsigned char>(data.back()) & 0x80))
            value |= ~std::uint64_t{0} << (8 * data.size());
        return integer(static_cast<std::int64_t>(value));
    }

    // Memo ---------------------------------------------------------------------------------------
    void memoize(std::uint64_t id) { memo_[id] = top(); }

    Node* recall(std::uint64_t id) {
        const auto found = memo_.find(id);
        if (found == memo_.end()) malformed("unknown memo id " + std::to_string(id));
        return found->second;
    }

    // Containers ---------------------------------------------------------------------------------
    void append(Node* target, std::vector<Node*> items) {
        if (target->type == Type::list || target->type == Type::object) {
            target->items.insert(target->items.end(), items.begin(), items.end());
            return;
        }
        malformed(std::string("append to a ") + PickleValue::typeName(target->type));
    }

    void setItems(Node* target, const std::vector<Node*>& items) {
        if (items.size() % 2 != 0) malformed("odd number of dict items");
        if (target->type != Type::dict && target->type != Type::object)
            malformed(std::string("item assignment to a ") + PickleValue::typeName(target->type));
        for (std::size_t i = 0; i < items.size(); i += 2) target->dict.emplace_back(items[i], items[i + 1]);
    }

    void addItems(Node* target, const std::vector<Node*>& items) {
        if (target->type != Type::set && target->type != Type::object)
            malformed(std::string("set items added to a ") + PickleValue::typeName(target->type));
        target->items.insert(target->items.end(), items.begin(), items.end());
    }

    // Globals and calls --------------------------------------------------------------------------
    Node* global(std::string_view module, std::string_view name) {
        Node* node = make(Type::global);
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

    std::int64_t intArgument(const Node* node, const char* what) {
        if (node->type == Type::integer) return node->integer;
        malformed(std::string(what) + " is not an int");
    }

    std::vector<std::int64_t> intTuple(const Node* node, const char* what) {
        // torch.Size((…)) as some writers give sizes.
        if (node->type == Type::object && node->text == "torch" && node->name == "Size" && node->arguments &&
            node->arguments->type == Type::tuple && node->arguments->items.size() == 1)
            node = node->arguments->items[0];
        if (node->type != Type::tuple && node->type != Type::list) malformed(std::string(what) + " is not a tuple");
        if (node->items.size() > maxTensorRank) malformed(std::string(what) + " has too many dimensions");
        std::vector<std::int64_t> values;
        values.reserve(node->items.size());
        for (const Node* item : node->items) values.push_back(intArgument(item, what));
        return values;
    }

    Node* rebuildTensor(const std::vector<Node*>& args) {
        if (args.size() < 4) malformed("tensor rebuilt from too few arguments");
        const Node* storage = args[0];
        if (storage->type != Type::storage) malformed("tensor rebuilt from something not a storage");
        charge(storage->tensor->storageKey.size() + storage->tensor->storage.name().size(), 1);
        Node* node = make(Type::tensor);
        node->tensor = std::make_unique<TensorRecord>(*storage->tensor);
        TensorRecord& tensor = *node->tensor;
        tensor.storageOffset = intArgument(args[1], "tensor storage offset");
        tensor.shape = intTuple(args[2], "tensor size");
        tensor.strides = intTuple(args[3], "tensor stride");
        if (tensor.shape.size() != tensor.strides.size()) malformed("tensor size and stride differ in length");
        if (tensor.storageOffset < 0) malformed("negative tensor storage offset");
        for (std::size_t i = 0; i < tensor.shape.size(); ++i)
            if (tensor.shape[i] < 0 || tensor.strides[i] < 0) malformed("negative tensor size or stride");
        return node;
    }

    Node* call(Node* callable, Node* args, int depth = 0) {
        if (depth > maxCallDepth) malformed("calls nested too deeply");
        const bool argsAreTuple = args->type == Type::tuple;
        static const std::vector<Node*> noArgs;
        const std::vector<Node*>& list = argsAreTuple ? args->items : noArgs;
        if (callable->type == Type::global) {
            const std::string& module = callable->text;
            const std::string& name = callable->name;
            if (!argsAreTuple) malformed("call arguments are not a tuple");
            if (module == "collections" && name == "OrderedDict") {
                Node* dict = make(Type::dict);
                if (!list.empty()) {
                    // OrderedDict([(key, value), …]) as older protocols write it.
                    const Node* pairs = list[0];
                    if (pairs->type != Type::list && pairs->type != Type::tuple) malformed("OrderedDict argument");
                    charge(pairs->items.size(), 2 * sizeof(Node*));
                    for (const Node* pair : pairs->items) {
                        if ((pair->type != Type::list && pair->type != Type::tuple) || pair->items.size() != 2)
                            malformed("OrderedDict item");
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
                if (list.size() < 7) malformed("tensor rebuilt from too few arguments");
                const Node* dtype = list[6];
                if (dtype->type != Type::dtype)
                    throw CheckpointError::unsupported(
                        what_ + ": a tensor of type " +
                        (dtype->type == Type::global ? dtype->text + "." + dtype->name : std::string("?")));
                Node* tensor = rebuildTensor(list);
                tensor->tensor->dtype = dtype->tensor->dtype;
                return tensor;
            }
            if (module == "torch._utils" && (name == "_rebuild_parameter" || name == "_rebuild_parameter_with_state")) {
                if (list.empty() || list[0]->type != Type::tensor) malformed("parameter rebuilt from no tensor");
                return list[0];
            }
            if ((module == "torch._tensor" || module == "torch._utils") && name == "_rebuild_from_type_v2") {
                // (function, type, arguments, state): the function's result stands for the subclass.
                if (list.size() < 3) malformed("_rebuild_from_type_v2 arguments");
                return call(list[0], list[2], depth + 1);
            }
            if (module == "builtins" && (name == "set" || name == "frozenset")) {
                Node* set = make(name == "set" ? Type::set : Type::frozenset);
                if (!list.empty()) {
                    const Node* source = list[0];
                    if (source->type != Type::list && source->type != Type::tuple && source->type != Type::set &&
                        source->type != Type::frozenset)
                        malformed("set built from something not a sequence");
                    charge(source->items.size(), sizeof(Node*));
                    set->items = source->items;
                }
                return set;
            }
            if (module == "builtins" && name == "bytearray") {
                if (list.empty()) return text(Type::bytes, "");
                if (list[0]->type == Type::bytes) {
                    charge(list[0]->text.size(), 1);
                    return text(Type::bytes, list[0]->text);
                }
            }
            if (module == "_codecs" && name == "encode") return encode(list);
        }
        // Anything else is kept as an opaque instance of what was called.
        Node* object = make(Type::object);
        if (callable->type == Type::global) {
            object->text = callable->text;
            object->name = callable->name;
        }
        object->arguments = args;
        return object;
    }

    // _codecs.encode(text, encoding): protocol 2's way of writing bytes.
    Node* encode(const std::vector<Node*>& args) {
        if (args.empty() || args[0]->type != Type::string) malformed("_codecs.encode of something not text");
        const std::string encoding = args.size() > 1 && args[1]->type == Type::string ? args[1]->text : "utf-8";
        const std::string& source = args[0]->text;
        charge(source.size(), 1);
        if (encoding == "utf-8" || encoding == "utf8") return text(Type::bytes, source);
        if (encoding != "latin1" && encoding != "latin-1" && encoding != "iso-8859-1")
            throw CheckpointError::unsupported(what_ + ": bytes encoded as " + encoding);
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
                malformed("latin-1 text outside latin-1");
            }
        }
        return text(Type::bytes, bytes);
    }

    Node* persistentLoad(Node* pid) {
        if (pid->type != Type::tuple || pid->items.size() < 5 || pid->items[0]->type != Type::string ||
            pid->items[0]->text != "storage")
            throw CheckpointError::unsupported(what_ + ": a persistent id other than a storage");
        const Node* kind = pid->items[1];
        std::optional<DType> dtype;
        if (kind->type == Type::global) dtype = storageDType(kind->text, kind->name);
        if (kind->type == Type::dtype) dtype = kind->tensor->dtype;
        if (!dtype)
            throw CheckpointError::unsupported(
                what_ + ": storage type " +
                (kind->type == Type::global ? kind->text + "." + kind->name : std::string("?")));
        const Node* key = pid->items[2];
        if (key->type != Type::string && key->type != Type::integer) malformed("storage key");
        const Node* size = pid->items[4];
        if (size->type != Type::integer || size->integer < 0) malformed("storage size");
        charge(key->text.size(), 1);
        Node* node = make(Type::storage);
        node->tensor = std::make_unique<TensorRecord>();
        node->tensor->dtype = *dtype;
        node->tensor->storageKey = key->type == Type::string ? key->text : std::to_string(key->integer);
        node->integer = size->integer;
        if (storage_) {
            node->tensor->storage = storage_(node->tensor->storageKey);
            charge(node->tensor->storage.name().size(), 1);
        }
        return node;
    }

    // The interpreter ----------------------------------------------------------------------------
    void step(unsigned char op) {
        switch (op) {
            case PROTO: {
                const auto protocol = take<std::uint8_t>();
                if (protocol < 2 || protocol > 5)
                    throw CheckpointError::unsupported(what_ + ": pickle protocol " + std::to_string(protocol));
                break;
            }
            case FRAME: {
                const auto length = take<std::uint64_t>();
                if (length > bytes_.size() - at_) truncated();
                break;
            }
            case MARK: marks_.push_back(stack_.size()); break;
            case POP:
                // POP right after MARK drops the mark (what CPython does with an empty frame).
                if (!marks_.empty() && marks_.back() == stack_.size()) {
                    marks_.pop_back();
                } else {
                    pop();
                }
                break;
            case POP_MARK: popMark(); break;
            case DUP: push(top()); break;
            case MEMOIZE: memoize(memo_.size()); break;
            case BINPUT: memoize(take<std::uint8_t>()); break;
            case LONG_BINPUT: memoize(take<std::uint32_t>()); break;
            case BINGET: push(recall(take<std::uint8_t>())); break;
            case LONG_BINGET: push(recall(take<std::uint32_t>())); break;
            case NONE: push(&document_->none); break;
            case NEWTRUE:
            case NEWFALSE: {
                Node* node = make(Type::boolean);
                node->boolean = op == NEWTRUE;
                push(node);
                break;
            }
            case BININT: push(integer(take<std::int32_t>())); break;
            case BININT1: push(integer(take<std::uint8_t>())); break;
            case BININT2: push(integer(take<std::uint16_t>())); break;
            case LONG1: push(longValue(takeBytes(take<std::uint8_t>()))); break;
            case LONG4: {
                const auto length = take<std::int32_t>();
                if (length < 0) malformed("negative length");
                push(longValue(takeBytes(static_cast<std::uint64_t>(length))));
                break;
            }
            case BINFLOAT: {
                const auto raw = take<std::uint64_t>();
                Node* node = make(Type::floating);
                node->floating = std::bit_cast<double>(__builtin_bswap64(raw));
                push(node);
                break;
            }
            case SHORT_BINUNICODE: push(text(Type::string, takeBytes(take<std::uint8_t>()))); break;
            case BINUNICODE: push(text(Type::string, takeBytes(take<std::uint32_t>()))); break;
            case BINUNICODE8: push(text(Type::string, takeBytes(take<std::uint64_t>()))); break;
            case SHORT_BINSTRING: push(text(Type::string, takeBytes(take<std::uint8_t>()))); break;
            case BINSTRING: {
                const auto length = take<std::int32_t>();
                if (length < 0) malformed("negative length");
                push(text(Type::string, takeBytes(static_cast<std::uint64_t>(length))));
                break;
            }
            case SHORT_BINBYTES: push(text(Type::bytes, takeBytes(take<std::uint8_t>()))); break;
            case BINBYTES: push(text(Type::bytes, takeBytes(take<std::uint32_t>()))); break;
            case BINBYTES8:
            case BYTEARRAY8: push(text(Type::bytes, takeBytes(take<std::uint64_t>()))); break;
            case EMPTY_DICT: push(make(Type::dict)); break;
            case EMPTY_LIST: push(make(Type::list)); break;
            case EMPTY_TUPLE: push(make(Type::tuple)); break;
            case EMPTY_SET: push(make(Type::set)); break;
            case TUPLE: push(tuple(popMark())); break;
            case TUPLE1:
            case TUPLE2:
            case TUPLE3: {
                const std::size_t count = op - TUPLE1 + 1;
                if (stack_.size() < floor() + count) malformed("stack underflow");
                std::vector<Node*> items(stack_.end() - static_cast<std::ptrdiff_t>(count), stack_.end());
                stack_.resize(stack_.size() - count);
                push(tuple(std::move(items)));
                break;
            }
            case LIST: {
                Node* list = make(Type::list);
                list->items = popMark();
                push(list);
                break;
            }
            case DICT: {
                Node* dict = make(Type::dict);
                setItems(dict, popMark());
                push(dict);
                break;
            }
            case FROZENSET: {
                Node* set = make(Type::frozenset);
                set->items = popMark();
                push(set);
                break;
            }
            case APPEND: {
                Node* item = pop();
                append(top(), {item});
                break;
            }
            case APPENDS: {
                std::vector<Node*> items = popMark();
                append(top(), std::move(items));
                break;
            }
            case SETITEM: {
                Node* value = pop();
                Node* key = pop();
                setItems(top(), {key, value});
                break;
            }
            case SETITEMS: {
                const std::vector<Node*> items = popMark();
                setItems(top(), items);
                break;
            }
            case ADDITEMS: {
                const std::vector<Node*> items = popMark();
                addItems(top(), items);
                break;
            }
            case GLOBAL: {
                const std::string_view module = takeLine();
                const std::string_view name = takeLine();
                push(global(module, name));
                break;
            }
            case STACK_GLOBAL: {
                Node* name = pop();
                Node* module = pop();
                if (module->type != Type::string || name->type != Type::string) malformed("STACK_GLOBAL of non-text");
                push(global(module->text, name->text));
                break;
            }
            case REDUCE: {
                Node* args = pop();
                Node* callable = pop();
                push(call(callable, args));
                break;
            }
            case NEWOBJ: {
                Node* args = pop();
                Node* cls = pop();
                if (args->type != Type::tuple) malformed("NEWOBJ arguments are not a tuple");
                push(newObject(cls, args, nullptr));
                break;
            }
            case NEWOBJ_EX: {
                Node* kwargs = pop();
                Node* args = pop();
                Node* cls = pop();
                if (args->type != Type::tuple || kwargs->type != Type::dict) malformed("NEWOBJ_EX arguments");
                push(newObject(cls, args, kwargs));
                break;
            }
            case BUILD: {
                Node* state = pop();
                Node* target = top();
                if (target == &document_->none) malformed("BUILD of None");
                target->state = state;
                break;
            }
            case BINPERSID: push(persistentLoad(pop())); break;
            default: {
                char hex[8];
                std::snprintf(hex, sizeof hex, "0x%02x", op);
                throw CheckpointError::unsupported(what_ + ": pickle opcode " + hex + " at byte " +
                                                   std::to_string(opcodeAt_));
            }
        }
    }

    // cls.__new__(cls, *args): dicts and sets of known classes stay containers.
    Node* newObject(Node* cls, Node* args, Node* kwargs) {
        if (isGlobal(cls, "collections", "OrderedDict")) return make(Type::dict);
        if (isGlobal(cls, "builtins", "set")) return make(Type::set);
        Node* object = call(cls, args);
        if (object->type == Type::object) object->keywordArguments = kwargs;
        return object;
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::size_t opcodeAt_ = 0;
    const std::string& what_;
    const PickleReader::StorageResolver& storage_;
    std::shared_ptr<PickleValue::Document> document_;
    std::vector<Node*> stack_;
    std::vector<std::size_t> marks_;
    std::unordered_map<std::uint64_t, Node*> memo_;
    std::size_t copied_ = 0;
};

}  // namespace

PickleReader::PickleReader(std::string_view bytes, std::string what, StorageResolver storage)
    : bytes_(bytes), what_(std::move(what)), storage_(std::move(storage)) {}

PickleValue PickleReader::read() {
    Unpickler unpickler(bytes_, what_, storage_);
    const PickleValue::Node* result = unpickler.run();
    return PickleValue(unpickler.document(), result);
}

PickleValue PickleReader::parse(std::string_view bytes, std::string what, StorageResolver storage) {
    return PickleReader(bytes, std::move(what), std::move(storage)).read();
}

}  // namespace rarivoredu
