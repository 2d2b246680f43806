#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "RarivOredu/checkpoint/FileRegion.h"
#include "RarivOredu/checkpoint/PickleValue.h"

namespace rarivoredu {

// An unpickler for protocols 2 to 5, enough for what torch.save writes and for training
// checkpoints that carry other Python objects. Nothing is ever executed: classes and functions
// with a meaning here (collections.OrderedDict, torch's tensor rebuilding functions and storage
// types, builtins.set / frozenset, _codecs.encode, torch dtypes) are interpreted, any other
// becomes an opaque object value. Every length, memo index and stack access is checked: bad input
// throws CheckpointError (truncated, malformed, unsupported), never more. This unit is the
// opcode machine (input, stack, marks, memo, containers); PickleDocumentBuilder makes the nodes
// within their budgets and PickleCallInterpreter gives globals and calls their meaning.
class PickleReader {
public:
    // Finds the bytes of a storage named by a persistent id ('storage', type, key, location,
    // numel). Without a resolver, tensors carry an empty storage region.
    using StorageResolver = std::function<FileRegion(const std::string& key)>;

    // `what` names the pickle in error texts ("model_weights/data.pkl").
    explicit PickleReader(std::string_view bytes, std::string what = "the pickle", StorageResolver storage = {});

    // Runs to STOP and returns the result. Bytes after STOP are ignored.
    PickleValue read();

    // Shorthand for PickleReader(bytes, what, storage).read().
    static PickleValue parse(std::string_view bytes, std::string what = "the pickle", StorageResolver storage = {});

private:
    std::string_view bytes_;
    std::string what_;
    StorageResolver storage_;
};

}  // namespace rarivoredu
