// Voice activity detection on Silero's real network (the npm copy of its ONNX export that
// scripts/install-deps.sh tests installs, imported into our bundle as a user's first load does):
//  - per 256 ms chunk: VadManager::processChunk on speech, the state carried from chunk to chunk;
//    RTFx is 0.256 s of audio over the time one chunk takes.
//  - one hour of speech (the two speech fixtures, repeated) segmented end to end by segmentSpeech.
// The pools follow the bundle's threading preference unless the environment says otherwise, so
// the figures for one thread come from a second run:
//   build/release/bench/vad/bench_vad --benchmark_filter=Real
//   RARIVOREDU_TORCH_THREADS=1 RARIVOREDU_BLAS_THREADS=1 build/release/bench/vad/bench_vad --benchmark_filter=Real
// The counters name the widths the run had and the machine's one-minute load average.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <span>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "Platform/ml/TorchScriptRuntime.h"
#include "RarivOredu/vad/VadManager.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/vad/SileroSpeech.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::SileroSpeech;

double loadAverage() {
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    return load;
}

struct RealModel {
    RealModel() {
        model = platform::MLModel::modelWithContentsOfURL(SileroSpeech::importBundle(folder.path()));
        for (const auto& speech : SileroSpeech::all()) {
            samples.insert(samples.end(), speech.samples.begin(), speech.samples.end());
        }
    }
    testsupport::TemporaryDirectory folder;
    platform::MLModelPtr model;
    std::vector<float> samples;  // both fixtures, whole chunks
};

const RealModel& realModel() {
    static const RealModel instance;
    return instance;
}

void widths(benchmark::State& st) {
    auto& runtime = platform::TorchScriptRuntime::shared();
    st.counters["torch_threads"] = runtime.torchThreads();
    st.counters["blas_threads"] = runtime.blasThreads();
    st.counters["load1"] = loadAverage();
}

void BM_RealChunk(benchmark::State& st) {
    const auto& real = realModel();
    rarivoredu::VadManager manager(rarivoredu::VadConfig::defaultConfig(), real.model);
    const std::span<const float> samples(real.samples);
    const std::size_t chunks = samples.size() / 4096;
    auto state = rarivoredu::VadState::initial();
    std::size_t next = 0;
    manager.processChunk(samples.first(4096), state);
    const auto start = Clock::now();
    for (auto _ : st) {
        const auto result = manager.processChunk(samples.subspan(next * 4096, 4096), state);
        state = result.outputState;
        benchmark::DoNotOptimize(state);
        next = (next + 1) % chunks;
    }
    const double perChunk = std::chrono::duration<double>(Clock::now() - start).count() / static_cast<double>(st.iterations());
    st.counters["ms_per_chunk"] = perChunk * 1e3;
    st.counters["RTFx"] = 0.256 / perChunk;
    widths(st);
}
BENCHMARK(BM_RealChunk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RealHourSegmented(benchmark::State& st) {
    const auto& real = realModel();
    rarivoredu::VadManager manager(rarivoredu::VadConfig::defaultConfig(), real.model);
    std::vector<float> hour;
    hour.reserve(3600 * 16000);
    while (hour.size() < 3600 * 16000) {
        const auto take = std::min(real.samples.size(), 3600 * 16000 - hour.size());
        hour.insert(hour.end(), real.samples.begin(), real.samples.begin() + static_cast<std::ptrdiff_t>(take));
    }
    std::size_t segments = 0;
    double seconds = 0;
    for (auto _ : st) {
        const auto start = Clock::now();
        auto found = manager.segmentSpeech(hour);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        segments = found.size();
        benchmark::DoNotOptimize(found);
    }
    st.counters["segments"] = static_cast<double>(segments);
    st.counters["RTFx"] = 3600.0 * static_cast<double>(st.iterations()) / seconds;
    widths(st);
}
BENCHMARK(BM_RealHourSegmented)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
