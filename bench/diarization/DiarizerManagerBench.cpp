// What the diarization pipeline costs around its two models, per 10 s chunk: padding, the
// segmentation input and powerset decoding, masks, the embedding inputs, speaker assignment and
// segment building. The models are stand-ins that answer prepared outputs; the time spent inside
// them is measured and taken out. Allocations count everything on the calling thread, the model
// runtime's own (output dictionaries, providers) and the result's segments included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/diarization/DiarizerManager.h"
#include "bench/asr/AllocationCounter.h"

namespace {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using Clock = std::chrono::steady_clock;

double secondsInModels = 0;

// Runs `answer` and books its time as model time.
template <class Answer>
std::shared_ptr<platform::MLModel> timedModel(Answer answer) {
    return platform::MLModel::withEngine(
        std::make_shared<platform::InProcessEngine>([answer](const MLFeatureProvider& inputs) {
            const auto start = Clock::now();
            auto outputs = answer(inputs);
            secondsInModels += std::chrono::duration<double>(Clock::now() - start).count();
            return outputs;
        }),
        {});
}

// Speaker 0 for 200 frames, both for 100, speaker 1 for 200, then silence.
MLMultiArrayPtr preparedSegments() {
    auto segments = MLMultiArray::create({1, 589, 7}, MLMultiArrayDataType::float32);
    for (int f = 0; f < 589; ++f) {
        const int cls = f < 200 ? 1 : f < 300 ? 4 : f < 500 ? 2 : 0;
        segments->setValueAt({0, f, cls}, 1.0);
    }
    return segments;
}

MLMultiArrayPtr preparedEmbedding(std::size_t from, std::size_t to) {
    auto embedding = MLMultiArray::create({3, 256}, MLMultiArrayDataType::float32);
    for (std::size_t i = from; i < to; ++i) embedding->setValue(static_cast<std::int64_t>(i), 1.0);
    return embedding;
}

void BM_DiarizerPerChunkOutsideModels(benchmark::State& state) {
    const MLDictionaryFeatureProvider::Dictionary segments{
        {"segments", MLFeatureValue::featureValueWithMultiArray(preparedSegments())}};
    const MLDictionaryFeatureProvider::Dictionary first{
        {"embedding", MLFeatureValue::featureValueWithMultiArray(preparedEmbedding(0, 128))}};
    const MLDictionaryFeatureProvider::Dictionary second{
        {"embedding", MLFeatureValue::featureValueWithMultiArray(preparedEmbedding(128, 256))}};

    rarivoredu::DiarizerModels models;
    models.segmentationModel = timedModel([&](const MLFeatureProvider&) { return segments; });
    models.embeddingModel = timedModel([&](const MLFeatureProvider& inputs) {
        const auto mask = inputs.featureValueForName("mask")->multiArrayValue();
        return mask->valueAt({0, 0}) > 0 ? first : second;
    });
    rarivoredu::DiarizerManager manager;
    manager.initialize(models);

    const std::size_t chunks = static_cast<std::size_t>(state.range(0));
    const std::vector<float> audio(chunks * 160000, 0.1f);
    manager.diarize(audio);  // the speakers exist from now on

    double total = 0;
    long allocations = 0;
    secondsInModels = 0;
    for (auto _ : state) {
        const long allocationsBefore = benchasr::allocationsOnThisThread();
        const auto start = Clock::now();
        auto result = manager.diarize(audio);
        total += std::chrono::duration<double>(Clock::now() - start).count();
        allocations += benchasr::allocationsOnThisThread() - allocationsBefore;
        benchmark::DoNotOptimize(result);
    }
    const double perChunk = 1e6 / static_cast<double>(state.iterations() * static_cast<long>(chunks));
    state.counters["chunk_us"] = total * perChunk;
    state.counters["in_models_us"] = secondsInModels * perChunk;
    state.counters["outside_models_us"] = (total - secondsInModels) * perChunk;
    state.counters["allocations_per_chunk"] = static_cast<double>(allocations) * perChunk / 1e6;
}
BENCHMARK(BM_DiarizerPerChunkOutsideModels)->Arg(6)->Unit(benchmark::kMicrosecond);

}  // namespace
