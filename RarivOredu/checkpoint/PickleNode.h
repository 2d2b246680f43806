#pragma once

// The storage behind PickleValue handles, shared by PickleValue and the reader's units only
// (PickleReader, PickleDocumentBuilder, PickleCallInterpreter).

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "RarivOredu/checkpoint/PickleValue.h"

namespace rarivoredu {

struct PickleValue::Node {
    Type type = Type::none;
    bool boolean = false;
    std::int64_t integer = 0;
    double floating = 0;
    // string, bytes, bigInteger; the module of a global or object.
    std::string text;
    // The name of a global or object.
    std::string name;
    std::vector<Node*> items;
    std::vector<std::pair<Node*, Node*>> dict;
    // Objects: the arguments and keyword arguments; any value: the BUILD state.
    Node* arguments = nullptr;
    Node* keywordArguments = nullptr;
    Node* state = nullptr;
    // tensor, storage and dtype values.
    std::unique_ptr<TensorRecord> tensor;
};

// Every node of one unpickled value; nodes point at each other by plain pointers, so the whole
// goes at once however they are linked.
struct PickleValue::Document {
    std::deque<Node> nodes;
    Node none;

    Node* make(Type type) {
        Node& node = nodes.emplace_back();
        node.type = type;
        return &node;
    }
};

}  // namespace rarivoredu
