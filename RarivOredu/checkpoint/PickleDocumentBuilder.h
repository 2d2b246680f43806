#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/checkpoint/PickleNode.h"

namespace rarivoredu {

// The nodes one unpickling makes, and the limits that keep a hostile pickle from growing them
// without bound: at most a million objects, and a budget for what calls copy out of values
// already read. It also words the errors of the pickle it builds, naming the byte of the opcode
// being run. Shared by the opcode machine (PickleReader) and PickleCallInterpreter.
class PickleDocumentBuilder {
public:
    using Node = PickleValue::Node;
    using Type = PickleValue::Type;

    // `what` names the pickle in error texts; it must outlive the builder.
    explicit PickleDocumentBuilder(const std::string& what);

    const std::string& what() const { return what_; }
    const std::shared_ptr<PickleValue::Document>& document() const { return document_; }
    Node* none() { return &document_->none; }

    // Where the opcode being run starts, for error texts.
    void setOpcodeOffset(std::size_t offset) { opcodeAt_ = offset; }
    std::size_t opcodeOffset() const { return opcodeAt_; }

    // Throws CheckpointError: malformed (with the problem and the byte), truncated.
    [[noreturn]] void malformed(const std::string& problem) const;
    [[noreturn]] void truncated() const;

    // A new node; unsupported past the node budget.
    Node* make(Type type);
    // Counts what a call copies out of values already read against the budget.
    void charge(std::size_t items, std::size_t itemSize);

    Node* tuple(std::vector<Node*> items);
    Node* text(Type type, std::string_view value);
    Node* integer(std::int64_t value);

private:
    const std::string& what_;
    std::shared_ptr<PickleValue::Document> document_;
    std::size_t opcodeAt_ = 0;
    std::size_t copied_ = 0;
};

}  // namespace rarivoredu
