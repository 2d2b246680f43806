#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Platform/ml/MLModelDescription.h"
#include "Platform/ml/MLMultiArray.h"
#include "RarivOredu/checkpoint/StateDict.h"
#include "RarivOredu/network/ScriptModuleSource.h"

namespace rarivoredu {

// WeSpeaker's ResNet34 speaker embedding as pyannote.audio packages it, as one TorchScript module:
//   waveform [3, 160000] (each row a chunk, ±1) + mask [3, 589] (each row one speaker's frame
//   weights) → per row: ×32768 → Kaldi filterbank (80 bins) → minus its mean over time →
//   ResNet (four stages of basic blocks, the last three halving both axes) → statistics pooling
//   weighted by the row's mask, resized to the network's frames by nearest neighbour (weighted
//   mean and unbiased standard deviation) → linear → embedding [3, 256].
// A row whose mask is all zero pools nothing and gets the linear layer's bias, as the reference
// network gives it, without running the network. Channel widths and block counts come from the
// weights; batch norms are folded into the convolutions before them.
class WespeakerNetwork {
public:
    static constexpr int rows = 3;
    static constexpr int chunkSamples = 160000;
    static constexpr int maskFrames = 589;
    static constexpr int embeddingSize = 256;

    struct Widths {
        int channels = 0;              // of the first stage; each later stage doubles them
        std::vector<int> blocks;       // basic blocks per stage
        int pooledFeatures = 0;        // mean and deviation of every channel × frequency
    };

    // Reads and checks every weight. Throws CheckpointError (missingTensor, wrongShape) when the
    // weights are not of this network or do not give 256 values.
    explicit WespeakerNetwork(const StateDict& weights);

    const Widths& widths() const noexcept { return widths_; }
    const std::string& source() const noexcept { return module_.source(); }
    const std::map<std::string, platform::MLMultiArrayPtr>& buffers() const noexcept { return module_.buffers(); }
    static platform::MLModelDescription description();

    void writeBundle(const std::filesystem::path& folder) const;

private:
    // The filterbank, the ResNet (its source given) and forward.
    std::string moduleSource(const std::string& resnetSource) const;

    Widths widths_;
    ScriptModuleSource module_;
};

}  // namespace rarivoredu
