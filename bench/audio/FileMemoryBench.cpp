// The memory a file transcription takes to bring a long file to 16 kHz mono: the peak resident
// set while AudioConverter reads and converts a generated 48 kHz stereo WAV file, above what the
// process held before, next to the size of the result. Argument: minutes of audio.
//
//   bench_audio --benchmark_filter=PeakMemory
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "RarivOredu/shared/AudioConverter.h"
#include "tests/support/WavHeader.h"

namespace {

namespace fs = std::filesystem;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
double statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1));
    }
    return 0;
}

// `minutes` of 48 kHz 16-bit stereo: a tone on each channel.
fs::path writeLongFile(int minutes) {
    const fs::path path = fs::temp_directory_path() / ("bench-audio-long-" + std::to_string(::getpid()) + ".wav");
    const std::uint64_t frames = static_cast<std::uint64_t>(minutes) * 60 * 48000;
    std::ofstream out(path, std::ios::binary);
    out << testsupport::wavHeader(2, 48000, static_cast<std::uint32_t>(frames));
    std::vector<std::int16_t> block;
    for (std::uint64_t start = 0; start < frames; start += 48000) {
        block.clear();
        for (std::uint64_t i = start; i < std::min(frames, start + 48000); ++i) {
            const double t = static_cast<double>(i) / 48000.0;
            block.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * 440 * t)));
            block.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * 1000 * t)));
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
    }
    return path;
}

void BM_FilePeakMemory(benchmark::State& state) {
    const fs::path path = writeLongFile(static_cast<int>(state.range(0)));
    const rarivoredu::AudioConverter converter;
    double peak = 0;
    double result = 0;
    for (auto _ : state) {
        // The peak resident set starts again from what the process holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const double before = statusKilobytes("VmRSS");
        auto samples = converter.resampleAudioFile(path);
        benchmark::DoNotOptimize(samples.data());
        peak = statusKilobytes("VmHWM") - before;
        result = static_cast<double>(samples.size() * sizeof(float)) / 1024.0;
    }
    state.counters["peak_MiB"] = peak / 1024.0;
    state.counters["result_MiB"] = result / 1024.0;
    fs::remove(path);
}
BENCHMARK(BM_FilePeakMemory)->Arg(10)->Arg(60)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
