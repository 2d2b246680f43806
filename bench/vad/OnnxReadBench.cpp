// Reading Silero's ONNX export (the npm copy scripts/install-deps.sh tests installs), as the voice
// activity model's first load does before it writes the bundle: parsing the file and finding and
// converting the network's fifteen tensors. The counter load1 is the machine's one-minute load
// average during the run.
//   build/release/bench/vad/bench_vad --benchmark_filter=Onnx
#include <benchmark/benchmark.h>

#include <fstream>

#include "RarivOredu/checkpoint/OnnxModel.h"
#include "RarivOredu/vad/silero/SileroVadImport.h"
#include "tests/support/vad/SileroSpeech.h"

namespace {

void BM_OnnxReadSileroWeights(benchmark::State& st) {
    const auto file = testsupport::SileroSpeech::onnxFile();
    for (auto _ : st) {
        const auto weights = rarivoredu::SileroVadImport::readStateDict(rarivoredu::OnnxModel::open(file));
        benchmark::DoNotOptimize(weights.names().size());
    }
    std::ifstream in("/proc/loadavg");
    double load = 0;
    in >> load;
    st.counters["load1"] = load;
}
BENCHMARK(BM_OnnxReadSileroWeights)->Unit(benchmark::kMillisecond);

}  // namespace
