// Cost of one model prediction, arrays handed over included: a tiny TorchScript model shaped
// like a recurrent decoder step (state carried through output backings that alias its inputs),
// and the same step as an in-process engine. The decoder pays this for every step it takes.
#include <benchmark/benchmark.h>
#include <torch/script.h>

#include <filesystem>
#include <unistd.h>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "Platform/ml/MLModelBundle.h"
#include "Platform/ml/TorchScriptRuntime.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

MLFeatureDescription feature(const std::string& name, MLMultiArray::Shape shape, MLMultiArrayDataType type) {
    return MLFeatureDescription{name, MLFeatureType::multiArray, false, MLMultiArrayConstraint{type, shape, {}}};
}

const char* const kStepSource = R"(
def forward(self, targets: Tensor, h_in: Tensor, c_in: Tensor) -> Dict[str, Tensor]:
    t = targets.float().reshape(1, 1, 1)
    h = torch.tanh(h_in * 0.5 + t)
    c = c_in + h
    return {"decoder": h[1].reshape(1, 8, 1), "h_out": h, "c_out": c}
)";

MLModelDescription stepDescription() {
    MLModelDescription d;
    d.inputs = {feature("targets", {1, 1}, MLMultiArrayDataType::int32),
                feature("h_in", {2, 1, 8}, MLMultiArrayDataType::float32),
                feature("c_in", {2, 1, 8}, MLMultiArrayDataType::float32)};
    d.outputs = {feature("decoder", {1, 8, 1}, MLMultiArrayDataType::float32),
                 feature("h_out", {2, 1, 8}, MLMultiArrayDataType::float32),
                 feature("c_out", {2, 1, 8}, MLMultiArrayDataType::float32)};
    return d;
}

struct Step {
    std::shared_ptr<MLModel> model;
    MLMultiArrayPtr targets = MLMultiArray::create({1, 1}, MLMultiArrayDataType::int32);
    MLMultiArrayPtr h = MLMultiArray::create({2, 1, 8}, MLMultiArrayDataType::float32);
    MLMultiArrayPtr c = MLMultiArray::create({2, 1, 8}, MLMultiArrayDataType::float32);
    MLDictionaryFeatureProvider inputs;
    MLPredictionOptions options;

    explicit Step(std::shared_ptr<MLModel> m) : model(std::move(m)) {
        inputs = MLDictionaryFeatureProvider({{"targets", MLFeatureValue::featureValueWithMultiArray(targets)},
                                              {"h_in", MLFeatureValue::featureValueWithMultiArray(h)},
                                              {"c_in", MLFeatureValue::featureValueWithMultiArray(c)}});
        options.outputBackings = {{"h_out", h}, {"c_out", c}};
    }
    void run() { benchmark::DoNotOptimize(model->predictionFromFeatures(inputs, options)); }
};

std::shared_ptr<MLModel> torchScriptStep() {
    const fs::path folder = fs::temp_directory_path() / ("bench-step-" + std::to_string(::getpid()) + ".mlmodelc");
    MLModelBundle bundle;
    bundle.description = stepDescription();
    bundle.write(folder);
    TorchScriptRuntime::shared().saveScriptModule(folder / "model.pt", kStepSource);
    auto model = MLModel::modelWithContentsOfURL(folder);
    fs::remove_all(folder);
    return model;
}

std::shared_ptr<MLModel> inProcessStep() {
    auto decoder = MLMultiArray::create({1, 8, 1}, MLMultiArrayDataType::float32);
    auto engine = std::make_shared<InProcessEngine>([decoder](const MLFeatureProvider& in) {
        auto h = in.featureValueForName("h_in")->multiArrayValue();
        float* hv = h->data<float>();
        for (int i = 0; i < 16; ++i) hv[i] = hv[i] * 0.5f + 1.0f;
        return MLDictionaryFeatureProvider::Dictionary{{"decoder", MLFeatureValue::featureValueWithMultiArray(decoder)},
                                                       {"h_out", MLFeatureValue::featureValueWithMultiArray(h)},
                                                       {"c_out", *in.featureValueForName("c_in")}};
    });
    return MLModel::withEngine(engine, stepDescription());
}

void BM_TorchScriptPrediction(benchmark::State& state) {
    Step step(torchScriptStep());
    for (int i = 0; i < 50; ++i) step.run();  // past the profiling executor's warm-up
    for (auto _ : state) step.run();
    state.SetLabel(TorchScriptRuntime::shared().blasDescription());
}
BENCHMARK(BM_TorchScriptPrediction)->Unit(benchmark::kMicrosecond);

// libtorch's own forward of the same module on ready tensors: the floor the runtime adds to.
void BM_TorchScriptForwardOnly(benchmark::State& state) {
    torch::jit::Module module("Step");
    module.define(kStepSource);
    module.eval();
    TorchScriptRuntime::shared().applyThreadPools(ThreadingPreference::blasWide);
    auto targets = torch::zeros({1, 1}, torch::kInt);
    auto h = torch::zeros({2, 1, 8});
    auto c = torch::zeros({2, 1, 8});
    c10::InferenceMode inference;
    for (int i = 0; i < 50; ++i) module.forward({targets, h, c});
    for (auto _ : state) benchmark::DoNotOptimize(module.forward({targets, h, c}));
}
BENCHMARK(BM_TorchScriptForwardOnly)->Unit(benchmark::kMicrosecond);

void BM_InProcessPrediction(benchmark::State& state) {
    Step step(inProcessStep());
    for (auto _ : state) step.run();
}
BENCHMARK(BM_InProcessPrediction)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
