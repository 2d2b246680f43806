#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RarivOredu/checkpoint/TensorRecord.h"

namespace rarivoredu {

// A value read from a pickle. Values are handles onto one unpickled document: copies are cheap
// and share the data, which stays alive as long as any handle does (cycles in the pickle cannot
// leak). Accessors of the wrong type throw CheckpointError::malformed naming what was expected.
class PickleValue {
public:
    enum class Type {
        none,
        boolean,
        integer,
        // An integer wider than 64 bits: its little-endian two's complement bytes.
        bigInteger,
        floating,
        // Text (UTF-8); also the 8-bit strings of protocol 2.
        string,
        bytes,
        list,
        tuple,
        // Insertion ordered; collections.OrderedDict too.
        dict,
        set,
        frozenset,
        // A class or function named by GLOBAL / STACK_GLOBAL that had no meaning here.
        global,
        // An instance of a class without meaning here: its class, arguments and BUILD state.
        object,
        // A torch storage (from a persistent id).
        storage,
        tensor,
        // torch.float32 and friends.
        dtype,
    };

    // None.
    PickleValue();

    Type type() const noexcept;
    bool isNone() const noexcept { return type() == Type::none; }
    bool isTensor() const noexcept { return type() == Type::tensor; }
    bool isDict() const noexcept { return type() == Type::dict; }
    // "none", "bool", "int", …, for error texts.
    static const char* typeName(Type type) noexcept;

    bool asBool() const;
    std::int64_t asInt() const;
    // Floats, and integers converted.
    double asDouble() const;
    // Text or bytes.
    const std::string& asString() const;
    // bytes and bigInteger.
    const std::string& asBytes() const;

    // Elements of a list, tuple, set or frozenset; also those APPEND gave an object (a list
    // subclass).
    std::vector<PickleValue> items() const;
    std::size_t size() const;
    PickleValue operator[](std::size_t index) const;

    // Items of a dict in insertion order; also those SETITEM gave an object (a dict subclass such
    // as collections.defaultdict).
    std::vector<std::pair<PickleValue, PickleValue>> dictItems() const;
    // The value under a text key of a dict, or None when absent (or not a dict).
    PickleValue get(std::string_view key) const;
    bool contains(std::string_view key) const;

    // For global and object values: the module and name of the class ("" when an object was made
    // by calling something that was not a global).
    const std::string& moduleName() const;
    const std::string& className() const;
    // For object values: the arguments the class was called with (a tuple, or None), and the
    // keyword arguments of NEWOBJ_EX (a dict, or None).
    PickleValue arguments() const;
    PickleValue keywordArguments() const;
    // The state given by BUILD to an object, or to a dict (an OrderedDict's attributes such as
    // `_metadata`); None when there was none.
    PickleValue state() const;

    // For tensor values.
    const TensorRecord& tensor() const;
    // For storage values: the storage's element type, key and element count.
    TensorRecord::DType storageDType() const;
    const std::string& storageKey() const;
    std::int64_t storageSize() const;
    // For dtype values and storage values.
    TensorRecord::DType dtype() const;

    struct Node;
    struct Document;

private:
    friend class PickleReader;
    PickleValue(std::shared_ptr<const Document> document, const Node* node)
        : document_(std::move(document)), node_(node) {}

    const Node& node() const noexcept;
    PickleValue wrap(const Node* node) const { return PickleValue(document_, node); }

    std::shared_ptr<const Document> document_;
    const Node* node_ = nullptr;
};

}  // namespace rarivoredu
