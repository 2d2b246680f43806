#include "Platform/ml/torch/TorchScriptEngine.h"

#include <malloc.h>
#include <ATen/core/dispatch/Dispatcher.h>
#include <torch/csrc/jit/frontend/resolver.h>
#include <torch/csrc/jit/frontend/sugared_value.h>
#include <torch/csrc/jit/passes/tensorexpr_fuser.h>
#include <torch/script.h>
#include <torch/version.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "Platform/ml/MLModelError.h"
#include "Platform/ml/MultiArrayCopy.h"
#include "Platform/ml/torch/DynamicLinearWeights.h"
#include "Platform/ml/torch/TensorMemoryCache.h"
#include "Platform/ml/torch/ThreadPools.h"

namespace platform {
namespace {

c10::ScalarType scalarType(MLMultiArrayDataType type) {
    switch (type) {
        case MLMultiArrayDataType::float16: return c10::kHalf;
        case MLMultiArrayDataType::float32: return c10::kFloat;
        case MLMultiArrayDataType::float64: return c10::kDouble;
        case MLMultiArrayDataType::int32: return c10::kInt;
    }
    return c10::kFloat;
}

// The multi-array type an output tensor is returned as: types without a multi-array counterpart
// become int32 (integers and booleans) or float32.
MLMultiArrayDataType outputType(c10::ScalarType type) {
    switch (type) {
        case c10::kHalf: return MLMultiArrayDataType::float16;
        case c10::kDouble: return MLMultiArrayDataType::float64;
        case c10::kInt:
        case c10::kLong:
        case c10::kShort:
        case c10::kChar:
        case c10::kByte:
        case c10::kBool: return MLMultiArrayDataType::int32;
        default: return MLMultiArrayDataType::float32;
    }
}

at::Tensor tensorView(const MLMultiArray& array) {
    return torch::from_blob(array.dataPointer(), c10::IntArrayRef(array.shape()), c10::IntArrayRef(array.strides()),
                            torch::TensorOptions().dtype(scalarType(array.dataType())));
}

// The caller's input arrays are lent to the module without ownership. A module may return an
// input, or a view of one, as an output; such an output is copied so that it never outlives or
// changes with the caller's array.
using InputMemory = c10::SmallVector<const void*, 8>;

// An output tensor as a multi-array over the tensor's own memory, in the declared element type
// when the description declares one.
MLMultiArrayPtr wrapTensor(const at::Tensor& tensor, const MLFeatureDescription* feature, const InputMemory& inputs) {
    const MLMultiArrayDataType type = feature && feature->multiArrayConstraint ? feature->multiArrayConstraint->dataType
                                                                               : outputType(tensor.scalar_type());
    at::Tensor converted = tensor.scalar_type() == scalarType(type) ? tensor : tensor.to(scalarType(type));
    if (!converted.is_contiguous()) {
        converted = converted.contiguous();
    } else if (std::find(inputs.begin(), inputs.end(), converted.storage().data()) != inputs.end()) {
        converted = converted.clone();
    }
    auto keeper = std::make_shared<at::Tensor>(std::move(converted));
    const auto& t = *keeper;
    MLMultiArray::Shape shape(t.sizes().begin(), t.sizes().end());
    MLMultiArray::Shape strides(t.strides().begin(), t.strides().end());
    return MLMultiArray::wrap(t.data_ptr(), shape, type, strides, {}, keeper);
}

// Quantised modules run on the best quantised engine this libtorch has; their weights are packed
// for it as they load, so it is chosen before the first module loads.
void selectQuantizedEngine() {
    const auto& engines = at::globalContext().supportedQEngines();
    for (const auto engine : {at::QEngine::X86, at::QEngine::FBGEMM, at::QEngine::ONEDNN, at::QEngine::QNNPACK}) {
        if (std::find(engines.begin(), engines.end(), engine) != engines.end()) {
            at::globalContext().setQEngine(engine);
            return;
        }
    }
}

// glibc maps blocks above its threshold (128 KiB at first, raised as such blocks are freed) on
// their own and unmaps them when they are freed, and hands the top of the heap back to the kernel
// beyond 128 KiB; the next model run then faults every page in afresh. The libraries under the
// models (oneDNN's scratch buffers among them) allocate with malloc, so the heap keeps blocks up
// to 32 MiB and up to 512 MiB of free memory at its top. Tensors are kept by TensorMemoryCache.
void keepHeapMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

// What every model needs before the first one loads. The models run without the TorchScript
// tensor-expression fuser: where libtorch is built with LLVM (Debian 13's is) it compiles fused
// CPU kernels on a model's first runs, and there it got stuck in that code generation, the
// program hanging with every BLAS thread waiting. Without it the same operators run unfused.
//
// libtorch 2 runs torch.lstm on oneDNN where oneDNN is enabled; Debian 13's (2.6 on oneDNN 3.7)
// computes wrong outputs there from the first step on (0.4 off the cell's equations on an AVX-512
// machine), which changed the synthesiser's durations. Its native kernels compute the equations.
void prepareRuntime() {
    static std::once_flag once;
    std::call_once(once, [] {
        torch::jit::setTensorExprFuserEnabled(false);
#if TORCH_VERSION_MAJOR >= 2
        at::globalContext().setUserEnabledMkldnn(false);
#endif
        keepHeapMemory();
        TensorMemoryCache::install();
        selectQuantizedEngine();
    });
}

struct Argument {
    std::string name;
    c10::TypeKind kind;
    bool optional;
};

}  // namespace

struct TorchScriptEngine::Impl {
    torch::jit::Module module;
    std::vector<Argument> arguments;
    const MLModelDescription description;
    ThreadingPreference threading;

    Impl(torch::jit::Module m, MLModelDescription d, ThreadingPreference t)
        : module(std::move(m)), description(std::move(d)), threading(t) {}

    at::Tensor declaredTensor(const MLFeatureDescription* feature, const MLMultiArray& array) const {
        at::Tensor tensor = tensorView(array);
        if (feature && feature->multiArrayConstraint && feature->multiArrayConstraint->dataType != array.dataType()) {
            tensor = tensor.to(scalarType(feature->multiArrayConstraint->dataType));
        }
        return tensor;
    }
};

TorchScriptEngine::TorchScriptEngine(const std::filesystem::path& modulePath, const MLModelDescription& description,
                                     ThreadingPreference threading) {
    prepareRuntime();
    // Loading repacks quantised weights in many small parallel steps, memory-bound; with
    // libtorch's pool wide the waiting threads cost many times the work on a busy machine (a
    // 0.6 GB int8 encoder: 1.6 s narrow, 8.6-16.5 s wide with other builds running).
    ThreadPools::applyForCurrentThread(ThreadingPreference::blasWide);
    torch::jit::Module module;
    try {
        module = torch::jit::load(modulePath.string());
        DynamicLinearWeights::adoptIn(module);
    } catch (const c10::Error& e) {
        // What went wrong, without the library's stack trace: the text reaches the user.
        throw MLModelError::ioError("Failed to load the TorchScript module " + modulePath.string() + ": " +
                                    e.what_without_backtrace());
    } catch (const std::exception& e) {
        throw MLModelError::ioError("Failed to load the TorchScript module " + modulePath.string() + ": " + e.what());
    }
    module.eval();
    impl_ = std::make_unique<Impl>(std::move(module), description, threading);

    const auto& schema = impl_->module.get_method("forward").function().getSchema();
    const auto& args = schema.arguments();
    for (std::size_t i = 1; i < args.size(); ++i) {  // argument 0 is self
        const auto& a = args[i];
        auto type = a.type();
        bool optional = false;
        if (auto opt = type->cast<c10::OptionalType>()) {
            type = opt->getElementType();
            optional = true;
        }
        if (!description.input(a.name()) && !a.default_value() && !optional) {
            throw MLModelError::ioError("The TorchScript module " + modulePath.string() + " takes the argument '" +
                                        a.name() + "', which the model description does not declare");
        }
        impl_->arguments.push_back({a.name(), type->kind(), optional || a.default_value().has_value()});
    }
}

TorchScriptEngine::~TorchScriptEngine() = default;

MLDictionaryFeatureProvider::Dictionary TorchScriptEngine::predict(const MLFeatureProvider& inputs,
                                                                   const MLPredictionOptions& options) {
    ThreadPools::applyForCurrentThread(impl_->threading);
    c10::InferenceMode inferenceMode;

    std::vector<c10::IValue> args;
    args.reserve(impl_->arguments.size());
    InputMemory inputMemory;
    for (const auto& argument : impl_->arguments) {
        const auto value = inputs.featureValueForName(argument.name);
        if (!value || value->type() == MLFeatureType::invalid) {
            if (!argument.optional) {
                throw MLModelError::featureTypeError("Required input feature '" + argument.name + "' was not given");
            }
            args.emplace_back();
            continue;
        }
        switch (value->type()) {
            case MLFeatureType::multiArray:
                args.emplace_back(impl_->declaredTensor(impl_->description.input(argument.name), *value->multiArrayValue()));
                inputMemory.push_back(value->multiArrayValue()->dataPointer());
                break;
            case MLFeatureType::int64:
                if (argument.kind == c10::TypeKind::FloatType) args.emplace_back(value->doubleValue());
                else if (argument.kind == c10::TypeKind::TensorType) args.emplace_back(torch::tensor(value->int64Value()));
                else args.emplace_back(value->int64Value());
                break;
            case MLFeatureType::doubleValue:
                if (argument.kind == c10::TypeKind::IntType) args.emplace_back(value->int64Value());
                else if (argument.kind == c10::TypeKind::TensorType) args.emplace_back(torch::tensor(value->doubleValue()));
                else args.emplace_back(value->doubleValue());
                break;
            case MLFeatureType::string: args.emplace_back(value->stringValue()); break;
            case MLFeatureType::invalid: break;
        }
    }

    c10::IValue result;
    try {
        result = impl_->module.forward(std::move(args));
    } catch (const std::exception& e) {
        throw MLModelError::genericError(std::string("Model prediction failed: ") + e.what());
    }

    MLDictionaryFeatureProvider::Dictionary outputs;
    auto addOutput = [&](const std::string& name, const c10::IValue& value) {
        if (value.isTensor()) {
            outputs.insert_or_assign(name, MLFeatureValue::featureValueWithMultiArray(
                                          wrapTensor(value.toTensor(), impl_->description.output(name), inputMemory)));
        } else if (value.isInt()) {
            outputs.insert_or_assign(name, MLFeatureValue::featureValueWithInt64(value.toInt()));
        } else if (value.isDouble()) {
            outputs.insert_or_assign(name, MLFeatureValue::featureValueWithDouble(value.toDouble()));
        } else if (value.isString()) {
            outputs.insert_or_assign(name, MLFeatureValue::featureValueWithString(value.toStringRef()));
        } else {
            throw MLModelError::featureTypeError("Output '" + name + "' has a type that models cannot return");
        }
    };
    if (result.isGenericDict()) {
        for (const auto& entry : result.toGenericDict()) {
            if (!entry.key().isString()) throw MLModelError::featureTypeError("Model outputs must be named by strings");
            addOutput(entry.key().toStringRef(), entry.value());
        }
    } else if (result.isTuple()) {
        const auto& elements = result.toTupleRef().elements();
        if (elements.size() != impl_->description.outputs.size()) {
            throw MLModelError::featureTypeError("The model returned a different number of outputs than it declares");
        }
        for (std::size_t i = 0; i < elements.size(); ++i) addOutput(impl_->description.outputs[i].name, elements[i]);
    } else if (impl_->description.outputs.size() == 1) {
        addOutput(impl_->description.outputs[0].name, result);
    } else {
        throw MLModelError::featureTypeError("The model must return a dictionary of named outputs");
    }
    applyOutputBackings(outputs, options);
    return outputs;
}

namespace {

// Module source sees `torch.<op>` as ATen operators and `quantized.<op>` as the quantised ones.
struct ScriptResolver : torch::jit::Resolver {
    std::shared_ptr<torch::jit::SugaredValue> resolveValue(const std::string& name, torch::jit::GraphFunction&,
                                                           const torch::jit::SourceRange&) override {
        if (name == "torch") return std::make_shared<torch::jit::BuiltinModule>("aten");
        if (name == "quantized") return std::make_shared<torch::jit::BuiltinModule>("quantized");
        return nullptr;
    }
    c10::TypePtr resolveType(const std::string&, const torch::jit::SourceRange&) override { return nullptr; }
};

// A float32 [out, in] weight as int8 per output channel (symmetric, zero points 0), packed for
// the dynamically quantised linear operator.
c10::IValue packInt8Linear(const std::string& name, const at::Tensor& weight) {
    if (weight.dim() != 2 || weight.scalar_type() != at::kFloat) {
        throw std::invalid_argument("The int8 linear weight '" + name + "' is not a float32 matrix");
    }
    const at::Tensor scales = (weight.abs().amax(1) / 127.0).clamp_min(1e-8).to(at::kDouble);
    const at::Tensor zeroPoints = at::zeros({weight.size(0)}, at::kLong);
    const at::Tensor q = at::quantize_per_channel(weight.contiguous(), scales, zeroPoints, 0, at::kQInt8);
    static const auto prepack = c10::Dispatcher::singleton().findSchemaOrThrow("quantized::linear_prepack", "");
    std::vector<c10::IValue> stack{c10::IValue(q), c10::IValue()};
    prepack.callBoxed(&stack);
    return stack[0];
}

}  // namespace

void TorchScriptEngine::saveScriptModule(const std::filesystem::path& path, const std::string& source,
                                         std::map<std::string, MLMultiArrayPtr> buffers,
                                         const std::set<std::string>& int8LinearWeights) {
    try {
        prepareRuntime();
        // Quantising and packing are memory-bound loops; a wide libtorch pool spends most of its
        // time waiting (a real-size int8 encoder: 90 s wide on a busy machine).
        ThreadPools::applyForCurrentThread(ThreadingPreference::blasWide);
        torch::jit::Module module("RarivOreduModel");
        for (auto& [name, array] : buffers) {
            // The arrays outlive the module, which is gone when this returns.
            const at::Tensor tensor = tensorView(*array);
            if (int8LinearWeights.count(name) != 0) {
                const c10::IValue packed = packInt8Linear(name, tensor);
                module.register_attribute(name, packed.type(), packed);
                array.reset();
            } else {
                module.register_buffer(name, tensor);
            }
        }
        for (const auto& name : int8LinearWeights) {
            if (buffers.count(name) == 0) throw std::invalid_argument("No buffer '" + name + "' to store as int8");
        }
        module.define(source, std::make_shared<ScriptResolver>());
        std::filesystem::create_directories(path.parent_path());
        module.save(path.string());
    } catch (const c10::Error& e) {
        throw MLModelError::ioError(std::string("Failed to build the TorchScript module: ") + e.what_without_backtrace());
    } catch (const std::exception& e) {
        throw MLModelError::ioError(std::string("Failed to build the TorchScript module: ") + e.what());
    }
}

}  // namespace platform
