#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "RarivOredu/checkpoint/PickleDocumentBuilder.h"
#include "RarivOredu/checkpoint/PickleReader.h"

namespace rarivoredu {

// What the globals of a pickle mean, and what calling them makes, without executing anything:
// torch's tensor rebuilding functions and storage types (a storage's bytes found through the
// reader's StorageResolver), torch dtypes, collections.OrderedDict, builtins.set / frozenset /
// bytearray and _codecs.encode are interpreted; any other call becomes an opaque object value.
// The opcode machine of PickleReader hands it GLOBAL, REDUCE, NEWOBJ and BINPERSID.
class PickleCallInterpreter {
public:
    using Node = PickleValue::Node;
    using StorageResolver = PickleReader::StorageResolver;

    // Both must outlive the interpreter.
    PickleCallInterpreter(PickleDocumentBuilder& builder, const StorageResolver& storage);

    // module.name as a global (Python 2's module names read as Python 3's); a torch dtype becomes
    // a dtype value.
    Node* global(std::string_view module, std::string_view name);
    // callable(*args).
    Node* call(Node* callable, Node* args, int depth = 0);
    // cls.__new__(cls, *args): dicts and sets of known classes stay containers.
    Node* newObject(Node* cls, Node* args, Node* kwargs);
    // A persistent id ('storage', type, key, location, numel) as a storage value.
    Node* persistentLoad(Node* pid);

private:
    std::int64_t intArgument(const Node* node, const char* what);
    std::vector<std::int64_t> intTuple(const Node* node, const char* what);
    Node* rebuildTensor(const std::vector<Node*>& args);
    // _codecs.encode(text, encoding): protocol 2's way of writing bytes.
    Node* encode(const std::vector<Node*>& args);

    PickleDocumentBuilder& builder_;
    const StorageResolver& storage_;
};

}  // namespace rarivoredu
