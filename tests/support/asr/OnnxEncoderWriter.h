#pragma once

#include <filesystem>

#include "RarivOredu/asr/parakeet/ParakeetConfig.h"
#include "RarivOredu/checkpoint/StateDict.h"

namespace testsupport {

// Writes the encoder of a Parakeet network as an ONNX graph, from the same state dict and with the
// same maths as the library's network builder writes its TorchScript Encoder (subsampling,
// relative-position self-attention, convolution module with batch norm folded into the depthwise
// convolution, feed-forwards, layer norms), so that ONNX Runtime can run our network beside our
// runtime. The graph takes "mel" [1, 128, T] of whole windows (every frame valid, as the
// benchmarks feed them; the padding masks of the TorchScript encoder change nothing there) and
// gives "encoder" [1, d_model, T/8]. int8 writes the linear layers as ONNX Runtime's dynamic
// quantisation does: weights int8 per output channel (symmetric, scale max|w| / 127, the scheme of
// our int8 Encoder), inputs quantised to uint8 per call (DynamicQuantizeLinear → MatMulInteger →
// scale), everything else float32. The weights go into "<file>.data" beside the graph.
class OnnxEncoderWriter {
public:
    explicit OnnxEncoderWriter(rarivoredu::ParakeetConfig config);

    // Throws CheckpointError for a missing or misshaped tensor, std::runtime_error when a file
    // cannot be written.
    void write(const std::filesystem::path& file, const rarivoredu::StateDict& weights, bool int8) const;

private:
    rarivoredu::ParakeetConfig config_;
};

}  // namespace testsupport
