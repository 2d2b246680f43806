#include "RarivOredu/checkpoint/PickleDocumentBuilder.h"

#include "RarivOredu/checkpoint/CheckpointError.h"

namespace rarivoredu {
namespace {

// More objects than this are not a checkpoint's pickle; a hostile one could otherwise ask for
// gigabytes with a few megabytes of input.
constexpr std::size_t maxNodes = std::size_t{1} << 20;
// Items and bytes that calls copy out of values already read (a set made from a list, an
// OrderedDict from its pairs, bytes re-encoded): each call is a few bytes of input, so without a
// budget a small pickle could copy one large value over and over.
constexpr std::size_t maxCopiedBytes = std::size_t{64} << 20;

}  // namespace

PickleDocumentBuilder::PickleDocumentBuilder(const std::string& what)
    : what_(what), document_(std::make_shared<PickleValue::Document>()) {}

void PickleDocumentBuilder::malformed(const std::string& problem) const {
    throw CheckpointError::malformed(what_ + " (" + problem + " at byte " + std::to_string(opcodeAt_) + ")");
}

void PickleDocumentBuilder::truncated() const { throw CheckpointError::truncated(what_); }

PickleDocumentBuilder::Node* PickleDocumentBuilder::make(Type type) {
    if (document_->nodes.size() >= maxNodes) throw CheckpointError::unsupported(what_ + " holds too many objects");
    return document_->make(type);
}

void PickleDocumentBuilder::charge(std::size_t items, std::size_t itemSize) {
    if (items > (maxCopiedBytes - copied_) / itemSize)
        throw CheckpointError::unsupported(what_ + " copies its values too often");
    copied_ += items * itemSize;
}

PickleDocumentBuilder::Node* PickleDocumentBuilder::tuple(std::vector<Node*> items) {
    Node* node = make(Type::tuple);
    node->items = std::move(items);
    return node;
}

PickleDocumentBuilder::Node* PickleDocumentBuilder::text(Type type, std::string_view value) {
    Node* node = make(type);
    node->text.assign(value);
    return node;
}

PickleDocumentBuilder::Node* PickleDocumentBuilder::integer(std::int64_t value) {
    Node* node = make(Type::integer);
    node->integer = value;
    return node;
}

}  // namespace rarivoredu
