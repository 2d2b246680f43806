#pragma once

#include <ATen/native/quantized/PackedParams.h>
#include <torch/script.h>

#include <dnnl.hpp>

#include <deque>
#include <mutex>
#include <vector>

namespace platform {

// The int8 weights of a dynamically quantised linear layer, run on oneDNN with the scale and zero
// point of each call's input given at run time. libtorch's oneDNN engine writes that scale into two
// reorders (the input's quantisation and the bias's scaling) and builds and compiles both afresh
// for every call whose scale it has not seen yet, which is every call on new audio: in a 24-layer
// encoder that is 438 compiled kernels, as many freshly mapped pages, and 80 ms of a 0.38 s
// window. oneDNN's cache of 1024 kernels hides this only when the same audio runs again. These
// weights compute the same values bit for bit and compile their kernel once per pool width.
class DynamicLinearWeights final : public LinearPackedParamsBase {
public:
    // Replaces the oneDNN-packed weights of dynamically quantised linear layers among the
    // attributes of `module` and its submodules by DynamicLinearWeights; their memory is freed
    // once the module no longer holds them. Returns how many were replaced. Does nothing unless
    // libtorch's quantised engine is oneDNN.
    static int adoptIn(torch::jit::Module& module);

    // `weight`: qint8, [out, in], scales per tensor or per output channel, zero points 0.
    DynamicLinearWeights(at::Tensor weight, c10::optional<at::Tensor> bias);
    static bool canRun(const at::Tensor& weight);

    at::Tensor apply_dynamic(at::Tensor input, bool reduce_range) override;
    at::Tensor apply_dynamic_relu(at::Tensor input, bool reduce_range) override;
    // Statically quantised inputs go to libtorch's own kernels (weights packed on first use).
    at::Tensor apply(at::Tensor input, double output_scale, int64_t output_zero_point) override;
    at::Tensor apply_relu(at::Tensor input, double output_scale, int64_t output_zero_point) override;
    std::tuple<at::Tensor, c10::optional<at::Tensor>> unpack() override;
    c10::optional<at::Tensor> bias() override;

private:
    struct Kernel {
        int threads;
        bool relu;
        dnnl::matmul::primitive_desc description;
        dnnl::matmul primitive;
    };

    at::Tensor run(const at::Tensor& input, bool reduceRange, bool relu);
    const Kernel& kernel(int threads, bool relu);
    LinearPackedParamsBase& libtorchWeights();

    at::Tensor weight_;
    c10::optional<at::Tensor> bias_;
    std::int64_t outputs_;
    std::int64_t inputs_;
    // 1 / scale of each output channel's weights, rounded to float as libtorch does.
    std::vector<float> inverseWeightScales_;
    dnnl::memory weightMemory_;

    std::mutex mutex_;
    std::deque<Kernel> kernels_;  // references stay valid as kernels are added
    c10::intrusive_ptr<LinearPackedParamsBase> libtorchWeights_;
};

}  // namespace platform
