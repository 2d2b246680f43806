#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Platform/ml/MLMultiArray.h"

namespace rarivoredu {

class TorchCheckpoint;

// The named tensors a network is built from, as every family reads them: the tensors of a
// torch.save checkpoint (numbers converted to float32 when a tensor is required, so only the
// shapes are in memory until then) or float32 arrays held in memory (random weights of the real
// layout, folded weights, tensors found in an ONNX graph). A tensor that is missing or has
// another shape than the network needs throws CheckpointError (missingTensor, wrongShape) naming
// it as the file stores it.
class StateDict {
public:
    using Shape = std::vector<std::int64_t>;
    using Arrays = std::map<std::string, platform::MLMultiArrayPtr>;
    // Told of every tensor required, with its element count, after it has been read.
    using ReadObserver = std::function<void(const std::string& name, std::int64_t elements)>;

    StateDict() = default;
    // Float32 arrays by name.
    explicit StateDict(Arrays arrays);
    // The tensors of a checkpoint, by the names TorchCheckpoint::tensors() gives them.
    explicit StateDict(std::shared_ptr<const TorchCheckpoint> checkpoint);
    // Opens a torch.save file: a bare state dict, or a Lightning checkpoint whose "state_dict"
    // maps the names to tensors (read without that prefix). Throws CheckpointError when the file
    // cannot be read as a torch.save checkpoint.
    static StateDict open(const std::filesystem::path& file);

    bool contains(const std::string& name) const;
    // Throws CheckpointError::missingTensor.
    Shape shape(const std::string& name) const;
    // The tensor as float32, checked to have this shape. Throws CheckpointError::missingTensor or
    // wrongShape (and the checkpoint's own errors for damaged data).
    platform::MLMultiArrayPtr require(const std::string& name, const Shape& expectedShape) const;
    // The tensor as float32 in whatever shape it has. Throws CheckpointError::missingTensor.
    platform::MLMultiArrayPtr tensor(const std::string& name) const;
    // How many of "<prefix>0<suffix>", "<prefix>1<suffix>", … there are, counting up from 0.
    int countNumbered(const std::string& prefix, const std::string& suffix) const;
    // Every name, in order.
    std::vector<std::string> names() const;
    // Whether some name starts with `prefix`.
    bool hasPrefix(const std::string& prefix) const;
    // The tensors whose names start with `prefix`, named without it ("state_dict.lstm.bias_ih_l0"
    // → "lstm.bias_ih_l0"); errors still name them in full.
    StateDict withoutPrefix(const std::string& prefix) const;
    // The elements of every tensor together.
    std::int64_t elementCount() const;

    // Every tensor as float32 in memory (a checkpoint's are read here).
    Arrays arrays() const;

    void setReadObserver(ReadObserver observer) { observer_ = std::move(observer); }

private:
    std::shared_ptr<const TorchCheckpoint> checkpoint_;
    std::string prefix_;
    std::shared_ptr<const Arrays> arrays_ = std::make_shared<const Arrays>();
    ReadObserver observer_;
};

}  // namespace rarivoredu
