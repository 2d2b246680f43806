#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RarivOredu/checkpoint/FileRegion.h"
#include "RarivOredu/checkpoint/PickleValue.h"
#include "RarivOredu/checkpoint/TensorRecord.h"

namespace rarivoredu {

// A file written by torch.save (the zip form of torch 1.6 and later): records
// `<prefix>/data.pkl`, `<prefix>/data/<key>`, `<prefix>/version`, `<prefix>/byteorder`; other
// records are ignored. Opening reads the directory and the pickle only; tensor data is read when
// a tensor is converted, so reading every tensor in turn needs about the memory of the largest.
class TorchCheckpoint {
public:
    // Throws CheckpointError: unreadable; unsupported for the pre-1.6 form ("saved by a torch
    // older than 1.6") and for big-endian files; truncated / malformed for a damaged file.
    static TorchCheckpoint open(const std::filesystem::path& file);
    // The same for a checkpoint inside another file (a tar member).
    static TorchCheckpoint open(const FileRegion& region);

    // The unpickled top object.
    const PickleValue& top() const noexcept { return top_; }
    // Every tensor reachable from the top through dicts, lists and tuples, keyed by the "."-joined
    // keys and indices on the way ("encoder.layers.0.conv.depthwise_conv.weight"); a top object
    // that is itself a tensor is named "". Objects of other classes are not entered. These records
    // carry their storage's checksum; those inside top() do not.
    const std::map<std::string, TensorRecord>& tensors() const noexcept { return tensors_; }
    // nullptr when absent.
    const TensorRecord* find(const std::string& name) const;
    // The tensor, checked to have this shape. Throws CheckpointError::missingTensor or wrongShape.
    const TensorRecord& require(const std::string& name, const std::vector<std::int64_t>& expectedShape) const;
    // The name of the records' folder ("model_weights", "archive", …).
    const std::string& prefix() const noexcept { return prefix_; }

private:
    TorchCheckpoint() = default;

    std::string prefix_;
    PickleValue top_;
    std::map<std::string, TensorRecord> tensors_;
};

}  // namespace rarivoredu
