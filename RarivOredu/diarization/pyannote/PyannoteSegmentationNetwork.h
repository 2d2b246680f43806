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

// pyannote's speaker segmentation network (PyanNet) as one TorchScript module:
//   audio [1, 1, 160000] → instance norm → 80 learned sinc band-pass filters (stride 10), |·| →
//   three times (max-pool 3, instance norm, leaky ReLU), with 5-tap convolutions between them →
//   bidirectional LSTM → leaky-ReLU linear layers → classifier → log-softmax → segments [1, 589, 7]
// (scores of the seven powerset classes of up to three local speakers, two at a time).
// The layer widths and counts come from the weights; the filters are made from their learned
// cut-offs inside the module, exactly as the network was trained with them.
class PyannoteSegmentationNetwork {
public:
    static constexpr int chunkSamples = 160000;
    static constexpr int frames = 589;
    static constexpr int classes = 7;
    static constexpr int sincStride = 10;

    struct Widths {
        int filters = 0;       // band-pass filters (cosine and sine halves)
        int kernel = 0;        // taps of each filter
        int convolution1 = 0;  // channels after the first convolution
        int convolution2 = 0;
        int convolutionKernel = 0;
        int lstmHidden = 0;
        int lstmLayers = 0;
        bool bidirectional = false;
        std::vector<int> linear;  // outputs of each linear layer
    };

    // Reads and checks every weight. Throws CheckpointError (missingTensor, wrongShape) when the
    // weights are not of this network, or its classifier does not give the seven classes.
    explicit PyannoteSegmentationNetwork(const StateDict& weights);

    const Widths& widths() const noexcept { return widths_; }
    const std::string& source() const noexcept { return module_.source(); }
    const std::map<std::string, platform::MLMultiArrayPtr>& buffers() const noexcept { return module_.buffers(); }
    static platform::MLModelDescription description();

    // Writes the compiled model folder ("model.pt" and its description) into `folder`.
    void writeBundle(const std::filesystem::path& folder) const;

private:
    std::string forwardSource() const;

    Widths widths_;
    ScriptModuleSource module_;
};

}  // namespace rarivoredu
