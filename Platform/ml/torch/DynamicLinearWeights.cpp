#include "Platform/ml/torch/DynamicLinearWeights.h"

#include <ATen/Parallel.h>
#include <ATen/native/quantized/cpu/QuantUtils.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {
namespace {

using Dims = dnnl::memory::dims;
using DataType = dnnl::memory::data_type;
using Tag = dnnl::memory::format_tag;

const dnnl::engine& cpuEngine() {
    static const dnnl::engine engine(dnnl::engine::kind::cpu, 0);
    return engine;
}

// Rounds to the nearest integer, ties to even, and saturates to 0..255: what oneDNN's reorders do
// to `value * inverseScale + zeroPoint`. The sum is formed in that order, without a fused
// multiply-add, as theirs is.
void quantise(const float* input, std::uint8_t* output, std::int64_t count, float inverseScale, float zeroPoint) {
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(inverseScale);
    const __m128 zero = _mm_set1_ps(zeroPoint);
    const auto rounded = [&](std::int64_t at) {
        return _mm_cvtps_epi32(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(input + at), scale), zero));
    };
    for (; i + 16 <= count; i += 16) {
        const __m128i low = _mm_packs_epi32(rounded(i), rounded(i + 4));
        const __m128i high = _mm_packs_epi32(rounded(i + 8), rounded(i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(output + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < count; ++i) {
        const float value = std::nearbyint(input[i] * inverseScale + zeroPoint);
        output[i] = static_cast<std::uint8_t>(std::clamp(value, 0.0f, 255.0f));
    }
}

}  // namespace

int DynamicLinearWeights::adoptIn(torch::jit::Module& module) {
    if (at::globalContext().qEngine() != at::QEngine::ONEDNN) return 0;
    static const c10::TypePtr packedType = c10::getCustomClassType<c10::intrusive_ptr<LinearPackedParamsBase>>();
    int adopted = 0;
    for (const auto& child : module.modules()) {
        const auto object = child._ivalue();
        const auto& type = object->type();
        for (std::size_t i = 0; i < type->numAttributes(); ++i) {
            if (*type->getAttribute(i) != *packedType) continue;
            const c10::IValue& value = object->getSlot(i);
            if (!value.isCustomClass()) continue;
            const auto packed = value.toCustomClass<LinearPackedParamsBase>();
            if (dynamic_cast<DynamicLinearWeights*>(packed.get()) != nullptr) continue;
            auto [weight, bias] = packed->unpack();
            if (!canRun(weight)) continue;
            c10::intrusive_ptr<LinearPackedParamsBase> replacement =
                c10::make_intrusive<DynamicLinearWeights>(std::move(weight), std::move(bias));
            object->setSlot(i, c10::IValue(std::move(replacement)));
            ++adopted;
        }
    }
    return adopted;
}

bool DynamicLinearWeights::canRun(const at::Tensor& weight) {
    if (weight.scalar_type() != at::kQInt8 || weight.dim() != 2) return false;
    switch (weight.qscheme()) {
        case at::kPerTensorAffine: return weight.q_zero_point() == 0;
        case at::kPerChannelAffine:
            return weight.q_per_channel_axis() == 0 && weight.q_per_channel_zero_points().eq(0).all().item<bool>();
        default: return false;
    }
}

DynamicLinearWeights::DynamicLinearWeights(at::Tensor weight, c10::optional<at::Tensor> bias)
    : weight_(weight.contiguous()), bias_(std::move(bias)), outputs_(weight_.size(0)), inputs_(weight_.size(1)) {
    TORCH_CHECK(canRun(weight_), "DynamicLinearWeights: the weight must be qint8 with zero points 0");
    if (bias_) *bias_ = bias_->to(at::kFloat).contiguous();
    inverseWeightScales_.resize(static_cast<std::size_t>(outputs_));
    if (weight_.qscheme() == at::kPerTensorAffine) {
        std::fill(inverseWeightScales_.begin(), inverseWeightScales_.end(), static_cast<float>(1.0 / weight_.q_scale()));
    } else {
        const at::Tensor scales = weight_.q_per_channel_scales().to(at::kDouble).contiguous();
        const double* scale = scales.data_ptr<double>();
        for (std::size_t n = 0; n < inverseWeightScales_.size(); ++n) {
            inverseWeightScales_[n] = static_cast<float>(1.0 / scale[n]);
        }
    }
    // The weights as they are stored, [out, in], read as the [in, out] matrix the product takes.
    const dnnl::memory::desc weightDesc(Dims{inputs_, outputs_}, DataType::s8, Dims{1, inputs_});
    weightMemory_ = dnnl::memory(weightDesc, cpuEngine(), weight_.data_ptr());
}

at::Tensor DynamicLinearWeights::apply_dynamic(at::Tensor input, bool reduce_range) {
    return run(input, reduce_range, false);
}

at::Tensor DynamicLinearWeights::apply_dynamic_relu(at::Tensor input, bool reduce_range) {
    return run(input, reduce_range, true);
}

at::Tensor DynamicLinearWeights::apply(at::Tensor input, double output_scale, int64_t output_zero_point) {
    return libtorchWeights().apply(std::move(input), output_scale, output_zero_point);
}

at::Tensor DynamicLinearWeights::apply_relu(at::Tensor input, double output_scale, int64_t output_zero_point) {
    return libtorchWeights().apply_relu(std::move(input), output_scale, output_zero_point);
}

std::tuple<at::Tensor, c10::optional<at::Tensor>> DynamicLinearWeights::unpack() { return {weight_, bias_}; }

c10::optional<at::Tensor> DynamicLinearWeights::bias() { return bias_; }

LinearPackedParamsBase& DynamicLinearWeights::libtorchWeights() {
    std::lock_guard lock(mutex_);
    if (!libtorchWeights_) {
        static const auto prepack = c10::Dispatcher::singleton().findSchemaOrThrow("quantized::linear_prepack", "");
        std::vector<c10::IValue> stack{c10::IValue(weight_), bias_ ? c10::IValue(*bias_) : c10::IValue()};
        prepack.callBoxed(&stack);
        libtorchWeights_ = stack[0].toCustomClass<LinearPackedParamsBase>();
    }
    return *libtorchWeights_;
}

const DynamicLinearWeights::Kernel& DynamicLinearWeights::kernel(int threads, bool relu) {
    std::lock_guard lock(mutex_);
    for (const auto& k : kernels_) {
        if (k.threads == threads && k.relu == relu) return k;
    }
    // The rows are a run-time dimension; scales and the input's zero point are given per call.
    const dnnl::memory::dim rows = DNNL_RUNTIME_DIM_VAL;
    const dnnl::memory::desc src(Dims{rows, inputs_}, DataType::u8, Tag::ab);
    const dnnl::memory::desc bias(Dims{1, outputs_}, DataType::f32, Tag::ab);
    const dnnl::memory::desc dst(Dims{rows, outputs_}, DataType::f32, Tag::ab);
    dnnl::primitive_attr attributes;
    attributes.set_scratchpad_mode(dnnl::scratchpad_mode::user);
    dnnl::post_ops ops;
#if DNNL_VERSION_MAJOR >= 3
    // oneDNN 3 scales the product by the weights' scale of each output channel, then adds the bias.
    attributes.set_scales_mask(DNNL_ARG_WEIGHTS, 1 << 1);
    attributes.set_zero_points_mask(DNNL_ARG_SRC, 0);
    if (relu) ops.append_eltwise(dnnl::algorithm::eltwise_relu, 0.0f, 0.0f);
    attributes.set_post_ops(ops);
    dnnl::matmul::primitive_desc description =
        bias_ ? dnnl::matmul::primitive_desc(cpuEngine(), src, weightMemory_.get_desc(), bias, dst, attributes)
              : dnnl::matmul::primitive_desc(cpuEngine(), src, weightMemory_.get_desc(), dst, attributes);
#else
    // oneDNN 2 adds the bias to the product, then scales by the output scale of each channel.
    attributes.set_output_scales(1 << 1, {DNNL_RUNTIME_F32_VAL});
    attributes.set_zero_points(DNNL_ARG_SRC, 0, {DNNL_RUNTIME_S32_VAL});
    if (relu) ops.append_eltwise(1.0f, dnnl::algorithm::eltwise_relu, 0.0f, 0.0f);
    attributes.set_post_ops(ops);
    const dnnl::matmul::desc operation = bias_ ? dnnl::matmul::desc(src, weightMemory_.get_desc(), bias, dst)
                                               : dnnl::matmul::desc(src, weightMemory_.get_desc(), dst);
    dnnl::matmul::primitive_desc description(operation, attributes, cpuEngine());
#endif
    dnnl::matmul primitive(description);
    return kernels_.emplace_back(Kernel{threads, relu, std::move(description), std::move(primitive)});
}

// What libtorch's oneDNN engine computes, in the same order: the input quantised to uint8 with a
// scale and zero point from its range, the integer product, and (product + bias / s) * s per
// output channel, s being the product of the input's and the channel's scale.
at::Tensor DynamicLinearWeights::run(const at::Tensor& input, bool reduceRange, bool relu) {
    TORCH_CHECK(input.scalar_type() == at::kFloat, "DynamicLinearWeights: the input must be float32");
    TORCH_CHECK(input.dim() >= 1 && input.size(-1) == inputs_, "DynamicLinearWeights: the input has ",
                input.dim() >= 1 ? input.size(-1) : 0, " features, the weights take ", inputs_);
    const at::Tensor x = input.contiguous();
    c10::DimVector outputSizes(x.sizes());
    outputSizes.back() = outputs_;
    at::Tensor output = at::empty(outputSizes, x.options());
    const std::int64_t rows = x.numel() / inputs_;
    if (rows == 0) return output;

    const auto [low, high] = at::aminmax(x);
    const auto parameters =
        quant_utils::ChooseQuantizationParams(low.item<float>(), high.item<float>(), 0, 255, false, false, reduceRange);
    const float inverseScale = static_cast<float>(1.0 / parameters.scale);
    at::Tensor quantised = at::empty({rows, inputs_}, x.options().dtype(at::kByte));
    const float* source = x.data_ptr<float>();
    std::uint8_t* target = quantised.data_ptr<std::uint8_t>();
    const std::int64_t grain = std::max<std::int64_t>(1, 16384 / inputs_);
    at::parallel_for(0, rows, grain, [&](std::int64_t begin, std::int64_t end) {
        quantise(source + begin * inputs_, target + begin * inputs_, (end - begin) * inputs_, inverseScale,
                 static_cast<float>(parameters.zero_point));
    });

    at::Tensor scales = at::empty({2, outputs_}, x.options());
    float* outputScale = scales.data_ptr<float>();
    float* scaledBias = outputScale + outputs_;
    const float* bias = bias_ ? bias_->data_ptr<float>() : nullptr;
    for (std::int64_t n = 0; n < outputs_; ++n) {
#if DNNL_VERSION_MAJOR >= 3
        outputScale[n] = (1.0f / inverseScale) * (1.0f / inverseWeightScales_[static_cast<std::size_t>(n)]);
        if (bias != nullptr) scaledBias[n] = bias[n];
#else
        const float productScale = inverseScale * inverseWeightScales_[static_cast<std::size_t>(n)];
        outputScale[n] = 1.0f / productScale;
        if (bias != nullptr) scaledBias[n] = bias[n] * productScale;
#endif
    }

    const Kernel& k = kernel(at::get_num_threads(), relu);
    const auto& engine = cpuEngine();
    std::int32_t zeroPoint = parameters.zero_point;
    at::Tensor scratch = at::empty({static_cast<std::int64_t>(k.description.scratchpad_desc().get_size())},
                                   x.options().dtype(at::kByte));
    std::unordered_map<int, dnnl::memory> arguments{
        {DNNL_ARG_SRC, dnnl::memory({Dims{rows, inputs_}, DataType::u8, Tag::ab}, engine, target)},
        {DNNL_ARG_WEIGHTS, weightMemory_},
        {DNNL_ARG_DST, dnnl::memory({Dims{rows, outputs_}, DataType::f32, Tag::ab}, engine, output.data_ptr())},
#if DNNL_VERSION_MAJOR >= 3
        {DNNL_ARG_ATTR_SCALES | DNNL_ARG_WEIGHTS, dnnl::memory({Dims{outputs_}, DataType::f32, Tag::a}, engine, outputScale)},
#else
        {DNNL_ARG_ATTR_OUTPUT_SCALES, dnnl::memory({Dims{outputs_}, DataType::f32, Tag::a}, engine, outputScale)},
#endif
        {DNNL_ARG_ATTR_ZERO_POINTS | DNNL_ARG_SRC, dnnl::memory({Dims{1}, DataType::s32, Tag::a}, engine, &zeroPoint)},
        {DNNL_ARG_SCRATCHPAD, dnnl::memory(k.description.scratchpad_desc(), engine, scratch.data_ptr())},
    };
    if (bias != nullptr) {
        arguments.emplace(DNNL_ARG_BIAS, dnnl::memory({Dims{1, outputs_}, DataType::f32, Tag::ab}, engine, scaledBias));
    }
    thread_local dnnl::stream stream(engine);
    k.primitive.execute(stream, arguments);
    stream.wait();
    return output;
}

}  // namespace platform
