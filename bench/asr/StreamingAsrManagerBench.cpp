// What an audio callback pays to hand a buffer to streaming recognition: streamAudio of one
// 4096-frame 16 kHz buffer, with the heap allocations it makes on the calling thread. The manager
// is not started, so nothing takes the buffers from its queue while the benchmark runs.
#include <benchmark/benchmark.h>

#include "Platform/audio/AVAudioFormat.h"
#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/asr/StreamingAsrManager.h"
#include "bench/asr/AllocationCounter.h"

namespace {

void BM_StreamAudioPerBuffer(benchmark::State& st) {
    const auto format = platform::AVAudioFormat::make(platform::AVAudioCommonFormat::pcmFormatFloat32, 16000, 1, false);
    auto buffer = platform::AVAudioPCMBuffer::make(*format, 4096);
    buffer->setFrameLength(4096);
    rarivoredu::StreamingAsrManager manager(rarivoredu::StreamingAsrConfig::shortContext());
    long allocations = 0;
    for (auto _ : st) {
        const long before = benchasr::allocationsOnThisThread();
        manager.streamAudio(buffer);
        allocations += benchasr::allocationsOnThisThread() - before;
    }
    st.counters["allocations_per_buffer"] =
        static_cast<double>(allocations) / static_cast<double>(st.iterations());
}
BENCHMARK(BM_StreamAudioPerBuffer)->Unit(benchmark::kNanosecond);

}  // namespace
