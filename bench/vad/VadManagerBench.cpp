// What voice activity detection costs besides its model:
//  - per 4096-sample chunk: bringing the chunk and the state into the pooled inputs, reading the
//    outputs, the next context and the result. The model is a stand-in that answers prepared
//    outputs; blocks of bare model calls (the same prediction call with the same inputs) are timed
//    beside blocks of chunks, and the difference is the time outside the model call. Allocations
//    are counted the same way.
//  - the segmentation of one hour of results (14,063 chunks) into speech regions.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "Platform/ml/InProcessEngine.h"
#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/ModelPrediction.h"
#include "RarivOredu/vad/VadManager.h"
#include "bench/asr/AllocationCounter.h"
#include "tests/support/FixtureFeatures.h"

namespace {

using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLModelDescription;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using Clock = std::chrono::steady_clock;

// Answers the same prepared outputs every time.
platform::MLModelPtr standInModel() {
    auto probability = MLMultiArray::create({1, 1}, MLMultiArrayDataType::float32);
    probability->setValue(0, 0.9);
    auto hidden = MLMultiArray::create({1, 128}, MLMultiArrayDataType::float32);
    auto cell = MLMultiArray::create({1, 128}, MLMultiArrayDataType::float32);
    hidden->fill(0.25);
    cell->fill(0.5);
    const MLDictionaryFeatureProvider::Dictionary outputs{
        {"vad_output", MLFeatureValue::featureValueWithMultiArray(probability)},
        {"new_hidden_state", MLFeatureValue::featureValueWithMultiArray(hidden)},
        {"new_cell_state", MLFeatureValue::featureValueWithMultiArray(cell)},
    };
    MLModelDescription description;
    using testsupport::arrayFeature;
    description.inputs = {arrayFeature("audio_input", {1, 4160}), arrayFeature("hidden_state", {1, 128}),
                          arrayFeature("cell_state", {1, 128})};
    description.outputs = {arrayFeature("vad_output", {1, 1}), arrayFeature("new_hidden_state", {1, 128}),
                           arrayFeature("new_cell_state", {1, 128})};
    return MLModel::withEngine(
        std::make_shared<platform::InProcessEngine>([outputs](const MLFeatureProvider&) { return outputs; }),
        std::move(description));
}

void BM_ChunkOutsideTheModel(benchmark::State& st) {
    constexpr int block = 1000;
    const auto model = standInModel();
    rarivoredu::VadManager manager(rarivoredu::VadConfig::defaultConfig(), model);
    const std::vector<float> chunk(4096, 0.1f);
    MLDictionaryFeatureProvider inputs({
        {"audio_input", MLFeatureValue::featureValueWithMultiArray(MLMultiArray::create({1, 4160}, MLMultiArrayDataType::float32))},
        {"hidden_state", MLFeatureValue::featureValueWithMultiArray(MLMultiArray::create({1, 128}, MLMultiArrayDataType::float32))},
        {"cell_state", MLFeatureValue::featureValueWithMultiArray(MLMultiArray::create({1, 128}, MLMultiArrayDataType::float32))},
    });
    const platform::MLPredictionOptions options;
    rarivoredu::VadState state = rarivoredu::VadState::initial();
    manager.processChunk(chunk, state);  // the pooled buffers exist from here on

    double modelSeconds = 0;
    double chunkSeconds = 0;
    long modelAllocations = 0;
    long chunkAllocations = 0;
    for (auto _ : st) {
        const long a0 = benchasr::allocationsOnThisThread();
        const auto t0 = Clock::now();
        for (int i = 0; i < block; ++i) benchmark::DoNotOptimize(rarivoredu::compatPrediction(*model, inputs, options));
        const auto t1 = Clock::now();
        const long a1 = benchasr::allocationsOnThisThread();
        for (int i = 0; i < block; ++i) {
            const auto result = manager.processChunk(chunk, state);
            state = result.outputState;
            benchmark::DoNotOptimize(state);
        }
        const auto t2 = Clock::now();
        const long a2 = benchasr::allocationsOnThisThread();
        modelSeconds += std::chrono::duration<double>(t1 - t0).count();
        chunkSeconds += std::chrono::duration<double>(t2 - t1).count();
        modelAllocations += a1 - a0;
        chunkAllocations += a2 - a1;
    }
    const double chunks = static_cast<double>(st.iterations()) * block;
    st.counters["chunk_us"] = chunkSeconds / chunks * 1e6;
    st.counters["model_call_us"] = modelSeconds / chunks * 1e6;
    st.counters["outside_model_us"] = (chunkSeconds - modelSeconds) / chunks * 1e6;
    st.counters["allocations_outside_model"] = static_cast<double>(chunkAllocations - modelAllocations) / chunks;
}
BENCHMARK(BM_ChunkOutsideTheModel)->Unit(benchmark::kMillisecond);

// One hour of results: speech stretches of 1 to 80 chunks (up to 20 s, so that long ones are
// split) between silences of 1 to 12 chunks, some of them only half silent.
std::vector<rarivoredu::VadResult> oneHourOfResults() {
    constexpr std::int64_t totalChunks = (3600 * 16000 + 4095) / 4096;
    std::mt19937 random(21);
    std::uniform_int_distribution<int> speech(1, 80);
    std::uniform_int_distribution<int> silence(1, 12);
    std::uniform_real_distribution<float> low(0.0f, 0.8f);
    std::uniform_real_distribution<float> high(0.85f, 1.0f);
    std::vector<rarivoredu::VadResult> results;
    results.reserve(totalChunks);
    while (static_cast<std::int64_t>(results.size()) < totalChunks) {
        for (int n = speech(random); n > 0 && static_cast<std::int64_t>(results.size()) < totalChunks; --n) {
            results.push_back({high(random), true, 0, {}});
        }
        for (int n = silence(random); n > 0 && static_cast<std::int64_t>(results.size()) < totalChunks; --n) {
            results.push_back({low(random), false, 0, {}});
        }
    }
    return results;
}

void BM_SegmentOneHour(benchmark::State& st) {
    const auto results = oneHourOfResults();
    const rarivoredu::VadManager manager(rarivoredu::VadConfig::defaultConfig(), platform::MLModelPtr{});
    std::size_t segments = 0;
    for (auto _ : st) {
        auto found = manager.segmentSpeech(results, 3600 * 16000);
        segments = found.size();
        benchmark::DoNotOptimize(found);
    }
    st.counters["segments"] = static_cast<double>(segments);
    st.counters["chunks"] = static_cast<double>(results.size());
}
BENCHMARK(BM_SegmentOneHour)->Unit(benchmark::kMillisecond);

}  // namespace
