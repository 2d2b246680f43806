#include "RarivOredu/checkpoint/PickleReader.h"

#include <bit>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "RarivOredu/checkpoint/CheckpointError.h"
#include "RarivOredu/checkpoint/PickleCallInterpreter.h"
#include "RarivOredu/checkpoint/PickleDocumentBuilder.h"

namespace rarivoredu {
namespace {

using Node = PickleValue::Node;
using Type = PickleValue::Type;

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

class Unpickler {
public:
    Unpickler(std::string_view bytes, const std::string& what, const PickleReader::StorageResolver& storage)
        : bytes_(bytes), builder_(what), calls_(builder_, storage) {}

    const Node* run() {
        for (;;) {
            builder_.setOpcodeOffset(at_);
            const unsigned char op = take<std::uint8_t>();
            if (op == STOP) return pop();
            step(op);
        }
    }

    const std::shared_ptr<PickleValue::Document>& document() const { return builder_.document(); }

private:
    // Input --------------------------------------------------------------------------------------
    template <typename T>
    T take() {
        if (bytes_.size() - at_ < sizeof(T)) builder_.truncated();
        T value;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        return value;
    }

    std::string_view takeBytes(std::uint64_t count) {
        if (count > bytes_.size() - at_) builder_.truncated();
        const std::string_view view = bytes_.substr(at_, static_cast<std::size_t>(count));
        at_ += static_cast<std::size_t>(count);
        return view;
    }

    std::string_view takeLine() {
        const std::size_t end = bytes_.find('\n', at_);
        if (end == std::string_view::npos) builder_.truncated();
        const std::string_view line = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }

    void push(Node* node) { stack_.push_back(node); }

    Node* pop() {
        if (stack_.size() <= floor()) builder_.malformed("stack underflow");
        Node* node = stack_.back();
        stack_.pop_back();
        return node;
    }

    Node* top() {
        if (stack_.size() <= floor()) builder_.malformed("stack underflow");
        return stack_.back();
    }

    std::size_t floor() const { return marks_.empty() ? 0 : marks_.back(); }

    // The items above the last mark, removing them and the mark.
    std::vector<Node*> popMark() {
        if (marks_.empty()) builder_.malformed("no mark");
        const std::size_t mark = marks_.back();
        marks_.pop_back();
        std::vector<Node*> items(stack_.begin() + static_cast<std::ptrdiff_t>(mark), stack_.end());
        stack_.resize(mark);
        return items;
    }

    // Little-endian two's complement of any length.
    Node* longValue(std::string_view data) {
        if (data.size() > 8) return builder_.text(Type::bigInteger, data);
        std::uint64_t value = 0;
        for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(data[i]);
        if (!data.empty() && data.size() < 8 && (static_cast<unsigned char>(data.back()) & 0x80))
            value |= ~std::uint64_t{0} << (8 * data.size());
        return builder_.integer(static_cast<std::int64_t>(value));
    }

    // Memo ---------------------------------------------------------------------------------------
    void memoize(std::uint64_t id) { memo_[id] = top(); }

    Node* recall(std::uint64_t id) {
        const auto found = memo_.find(id);
        if (found == memo_.end()) builder_.malformed("unknown memo id " + std::to_string(id));
        return found->second;
    }

    // Containers ---------------------------------------------------------------------------------
    void append(Node* target, std::vector<Node*> items) {
        if (target->type == Type::list || target->type == Type::object) {
            target->items.insert(target->items.end(), items.begin(), items.end());
            return;
        }
        builder_.malformed(std::string("append to a ") + PickleValue::typeName(target->type));
    }

    void setItems(Node* target, const std::vector<Node*>& items) {
        if (items.size() % 2 != 0) builder_.malformed("odd number of dict items");
        if (target->type != Type::dict && target->type != Type::object)
            builder_.malformed(std::string("item assignment to a ") + PickleValue::typeName(target->type));
        for (std::size_t i = 0; i < items.size(); i += 2) target->dict.emplace_back(items[i], items[i + 1]);
    }

    void addItems(Node* target, const std::vector<Node*>& items) {
        if (target->type != Type::set && target->type != Type::object)
            builder_.malformed(std::string("set items added to a ") + PickleValue::typeName(target->type));
        target->items.insert(target->items.end(), items.begin(), items.end());
    }

    // The interpreter ----------------------------------------------------------------------------
    void step(unsigned char op) {
        switch (op) {
            case PROTO: {
                const auto protocol = take<std::uint8_t>();
                if (protocol < 2 || protocol > 5)
                    throw CheckpointError::unsupported(builder_.what() + ": pickle protocol " + std::to_string(protocol));
                break;
            }
            case FRAME: {
                const auto length = take<std::uint64_t>();
                if (length > bytes_.size() - at_) builder_.truncated();
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
            case NONE: push(builder_.none()); break;
            case NEWTRUE:
            case NEWFALSE: {
                Node* node = builder_.make(Type::boolean);
                node->boolean = op == NEWTRUE;
                push(node);
                break;
            }
            case BININT: push(builder_.integer(take<std::int32_t>())); break;
            case BININT1: push(builder_.integer(take<std::uint8_t>())); break;
            case BININT2: push(builder_.integer(take<std::uint16_t>())); break;
            case LONG1: push(longValue(takeBytes(take<std::uint8_t>()))); break;
            case LONG4: {
                const auto length = take<std::int32_t>();
                if (length < 0) builder_.malformed("negative length");
                push(longValue(takeBytes(static_cast<std::uint64_t>(length))));
                break;
            }
            case BINFLOAT: {
                const auto raw = take<std::uint64_t>();
                Node* node = builder_.make(Type::floating);
                node->floating = std::bit_cast<double>(__builtin_bswap64(raw));
                push(node);
                break;
            }
            case SHORT_BINUNICODE: push(builder_.text(Type::string, takeBytes(take<std::uint8_t>()))); break;
            case BINUNICODE: push(builder_.text(Type::string, takeBytes(take<std::uint32_t>()))); break;
            case BINUNICODE8: push(builder_.text(Type::string, takeBytes(take<std::uint64_t>()))); break;
            case SHORT_BINSTRING: push(builder_.text(Type::string, takeBytes(take<std::uint8_t>()))); break;
            case BINSTRING: {
                const auto length = take<std::int32_t>();
                if (length < 0) builder_.malformed("negative length");
                push(builder_.text(Type::string, takeBytes(static_cast<std::uint64_t>(length))));
                break;
            }
            case SHORT_BINBYTES: push(builder_.text(Type::bytes, takeBytes(take<std::uint8_t>()))); break;
            case BINBYTES: push(builder_.text(Type::bytes, takeBytes(take<std::uint32_t>()))); break;
            case BINBYTES8:
            case BYTEARRAY8: push(builder_.text(Type::bytes, takeBytes(take<std::uint64_t>()))); break;
            case EMPTY_DICT: push(builder_.make(Type::dict)); break;
            case EMPTY_LIST: push(builder_.make(Type::list)); break;
            case EMPTY_TUPLE: push(builder_.make(Type::tuple)); break;
            case EMPTY_SET: push(builder_.make(Type::set)); break;
            case TUPLE: push(builder_.tuple(popMark())); break;
            case TUPLE1:
            case TUPLE2:
            case TUPLE3: {
                const std::size_t count = op - TUPLE1 + 1;
                if (stack_.size() < floor() + count) builder_.malformed("stack underflow");
                std::vector<Node*> items(stack_.end() - static_cast<std::ptrdiff_t>(count), stack_.end());
                stack_.resize(stack_.size() - count);
                push(builder_.tuple(std::move(items)));
                break;
            }
            case LIST: {
                Node* list = builder_.make(Type::list);
                list->items = popMark();
                push(list);
                break;
            }
            case DICT: {
                Node* dict = builder_.make(Type::dict);
                setItems(dict, popMark());
                push(dict);
                break;
            }
            case FROZENSET: {
                Node* set = builder_.make(Type::frozenset);
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
                push(calls_.global(module, name));
                break;
            }
            case STACK_GLOBAL: {
                Node* name = pop();
                Node* module = pop();
                if (module->type != Type::string || name->type != Type::string) builder_.malformed("STACK_GLOBAL of non-text");
                push(calls_.global(module->text, name->text));
                break;
            }
            case REDUCE: {
                Node* args = pop();
                Node* callable = pop();
                push(calls_.call(callable, args));
                break;
            }
            case NEWOBJ: {
                Node* args = pop();
                Node* cls = pop();
                if (args->type != Type::tuple) builder_.malformed("NEWOBJ arguments are not a tuple");
                push(calls_.newObject(cls, args, nullptr));
                break;
            }
            case NEWOBJ_EX: {
                Node* kwargs = pop();
                Node* args = pop();
                Node* cls = pop();
                if (args->type != Type::tuple || kwargs->type != Type::dict) builder_.malformed("NEWOBJ_EX arguments");
                push(calls_.newObject(cls, args, kwargs));
                break;
            }
            case BUILD: {
                Node* state = pop();
                Node* target = top();
                if (target == builder_.none()) builder_.malformed("BUILD of None");
                target->state = state;
                break;
            }
            case BINPERSID: push(calls_.persistentLoad(pop())); break;
            default: {
                char hex[8];
                std::snprintf(hex, sizeof hex, "0x%02x", op);
                throw CheckpointError::unsupported(builder_.what() + ": pickle opcode " + hex + " at byte " +
                                                   std::to_string(builder_.opcodeOffset()));
            }
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    PickleDocumentBuilder builder_;
    PickleCallInterpreter calls_;
    std::vector<Node*> stack_;
    std::vector<std::size_t> marks_;
    std::unordered_map<std::uint64_t, Node*> memo_;
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
