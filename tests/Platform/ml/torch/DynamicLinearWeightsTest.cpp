#include "Platform/ml/torch/DynamicLinearWeights.h"

#include <ATen/Parallel.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using platform::DynamicLinearWeights;

namespace {

struct ScriptResolver : torch::jit::Resolver {
    std::shared_ptr<torch::jit::SugaredValue> resolveValue(const std::string& name, torch::jit::GraphFunction&,
                                                           const torch::jit::SourceRange&) override {
        if (name == "quantized") return std::make_shared<torch::jit::BuiltinModule>("quantized");
        return nullptr;
    }
    c10::TypePtr resolveType(const std::string&, const torch::jit::SourceRange&) override { return nullptr; }
};

class DynamicLinearWeightsTest : public testing::Test {
protected:
    void SetUp() override {
        const auto& engines = at::globalContext().supportedQEngines();
        if (std::find(engines.begin(), engines.end(), at::QEngine::ONEDNN) == engines.end()) {
            GTEST_SKIP() << "libtorch has no oneDNN quantised engine";
        }
        previousEngine_ = at::globalContext().qEngine();
        at::globalContext().setQEngine(at::QEngine::ONEDNN);
        torch::manual_seed(7);
    }
    void TearDown() override {
        if (previousEngine_) at::globalContext().setQEngine(*previousEngine_);
    }

    static at::Tensor weight(std::int64_t outputs, std::int64_t inputs, bool perChannel) {
        const at::Tensor values = torch::randn({outputs, inputs});
        if (!perChannel) return at::quantize_per_tensor(values, values.abs().max().item<double>() / 127.0, 0, at::kQInt8);
        const at::Tensor scales = (values.abs().amax(1) / 127.0).to(at::kDouble);
        return at::quantize_per_channel(values, scales, at::zeros({outputs}, at::kLong), 0, at::kQInt8);
    }

    // libtorch's own weights for the same layer.
    static c10::intrusive_ptr<LinearPackedParamsBase> prepacked(const at::Tensor& weight,
                                                                const c10::optional<at::Tensor>& bias) {
        static const auto prepack = c10::Dispatcher::singleton().findSchemaOrThrow("quantized::linear_prepack", "");
        std::vector<c10::IValue> stack{c10::IValue(weight), bias ? c10::IValue(*bias) : c10::IValue()};
        prepack.callBoxed(&stack);
        return stack[0].toCustomClass<LinearPackedParamsBase>();
    }

private:
    c10::optional<at::QEngine> previousEngine_;
};

struct Case {
    std::string name;
    std::vector<std::int64_t> inputSizes;  // the last is the layer's input width
    std::int64_t outputs;
    bool perChannel;
    bool bias;
    bool reduceRange;
    bool relu;
    float offset;  // added to the input: a range that does not hold 0
    bool constant;
};

TEST_F(DynamicLinearWeightsTest, ComputeBitForBitWhatLibtorchsWeightsCompute) {
    const std::vector<Case> cases = {
        {"per channel, bias, many rows", {37, 256}, 96, true, true, false, false, 0, false},
        {"per tensor, no bias", {12, 64}, 40, false, false, false, false, 0, false},
        {"three-dimensional input", {2, 9, 64}, 24, true, true, false, false, 0, false},
        {"one row", {1, 128}, 128, true, true, false, false, 0, false},
        {"width not a multiple of 16", {5, 37}, 11, true, true, false, false, 0, false},
        {"reduced range", {8, 64}, 16, true, true, true, false, 0, false},
        {"with relu", {8, 64}, 16, true, true, false, true, 0, false},
        {"positive inputs only", {6, 64}, 16, true, true, false, false, 3.0f, false},
        {"constant input", {4, 32}, 8, true, true, false, false, 0, true},
        {"no rows", {0, 64}, 16, true, true, false, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t inputs = c.inputSizes.back();
        const at::Tensor w = weight(c.outputs, inputs, c.perChannel);
        const c10::optional<at::Tensor> bias =
            c.bias ? c10::optional<at::Tensor>(torch::randn({c.outputs})) : c10::nullopt;
        at::Tensor input = c.constant ? torch::full(c.inputSizes, 0.5f) : torch::randn(c.inputSizes) * 4 + c.offset;

        const auto libtorch = prepacked(w, bias);
        DynamicLinearWeights ours(w, bias);
        const at::Tensor expected =
            c.relu ? libtorch->apply_dynamic_relu(input, c.reduceRange) : libtorch->apply_dynamic(input, c.reduceRange);
        const at::Tensor actual =
            c.relu ? ours.apply_dynamic_relu(input, c.reduceRange) : ours.apply_dynamic(input, c.reduceRange);
        ASSERT_EQ(actual.sizes(), expected.sizes());
        EXPECT_TRUE(at::equal(actual, expected)) << (actual - expected).abs().max().item<float>();
    }
}

TEST_F(DynamicLinearWeightsTest, ResultsDoNotDependOnThePoolWidthOrOnTheInputsLayout) {
    const at::Tensor w = weight(64, 96, true);
    const at::Tensor bias = torch::randn({64});
    DynamicLinearWeights ours(w, bias);
    const at::Tensor input = torch::randn({96, 33}).t();  // not contiguous
    const at::Tensor expected = prepacked(w, bias)->apply_dynamic(input.contiguous(), false);

    const int width = at::get_num_threads();
    for (const int threads : {1, 3, width}) {
        at::set_num_threads(threads);
        EXPECT_TRUE(at::equal(ours.apply_dynamic(input, false), expected)) << threads << " threads";
    }
    at::set_num_threads(width);
}

TEST_F(DynamicLinearWeightsTest, AnInputOfAnotherWidthIsRefused) {
    DynamicLinearWeights ours(weight(8, 16, true), c10::nullopt);
    EXPECT_THROW(ours.apply_dynamic(torch::randn({4, 17}), false), c10::Error);
}

TEST_F(DynamicLinearWeightsTest, AdoptedLayersOfAModuleAndItsSubmodulesGiveTheSameOutputs) {
    const auto layer = [&](const std::string& name, std::int64_t outputs, std::int64_t inputs) {
        torch::jit::Module module(name);
        const auto packed = prepacked(weight(outputs, inputs, true), torch::randn({outputs}));
        module.register_attribute("w", c10::IValue(packed).type(), c10::IValue(packed));
        module.define("def forward(self, x):\n    return quantized.linear_dynamic(x, self.w, False)\n",
                      std::make_shared<ScriptResolver>());
        return module;
    };
    torch::jit::Module model = layer("Outer", 16, 32);
    model.register_module("inner", layer("Inner", 32, 48));
    model.define("def run(self, x):\n    return self.forward(self.inner.forward(x))\n",
                 std::make_shared<ScriptResolver>());
    const at::Tensor input = torch::randn({10, 48});
    const at::Tensor expected = model.get_method("run")({input}).toTensor();

    EXPECT_EQ(DynamicLinearWeights::adoptIn(model), 2);
    EXPECT_TRUE(at::equal(model.get_method("run")({input}).toTensor(), expected));
    EXPECT_EQ(DynamicLinearWeights::adoptIn(model), 0);  // already adopted
}

}  // namespace
