// Conversion of one minute of 48 kHz stereo to 16 kHz mono, the way a recording or a dropped
// file reaches the recogniser, next to sox doing the same conversion (first channel, high-quality
// rate change) on the same file in the same run. Throughput counts input frames per second of
// wall time. At the end the program prints each of ours against sox.
//
//   bench_audio [--benchmark_repetitions=N]     (sox must be on the PATH for the comparison)
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "Platform/audio/AVAudioPCMBuffer.h"
#include "RarivOredu/shared/AudioConverter.h"
#include "tests/support/WavHeader.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double sourceRate = 48000.0;
constexpr std::size_t sourceFrames = 60 * 48000;

// Speech-like enough for a resampler: two tones and a little noise on each channel.
float sample(std::size_t i, int channel) {
    const double t = static_cast<double>(i) / sourceRate;
    const double tone = channel == 0 ? std::sin(2 * std::numbers::pi * 440 * t) : std::sin(2 * std::numbers::pi * 1000 * t);
    const double noise = static_cast<double>((i * 2654435761u + channel * 40503u) % 2001) / 1000.0 - 1.0;
    return static_cast<float>(0.4 * tone + 0.05 * noise);
}

const platform::AVAudioPCMBufferPtr& sourceBuffer() {
    static const platform::AVAudioPCMBufferPtr buffer = [] {
        auto b = platform::AVAudioPCMBuffer::make(*platform::AVAudioFormat::standard(sourceRate, 2), sourceFrames);
        for (int c = 0; c < 2; ++c) {
            for (std::size_t i = 0; i < sourceFrames; ++i) b->floatChannelData()[c][i] = sample(i, c);
        }
        b->setFrameLength(sourceFrames);
        return b;
    }();
    return buffer;
}

void put(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
}

// The same minute as a 16-bit stereo WAV file.
const fs::path& sourceFile() {
    static const fs::path path = [] {
        const fs::path p = fs::temp_directory_path() / ("bench-audio-" + std::to_string(::getpid()) + ".wav");
        std::ofstream out(p, std::ios::binary);
        out << testsupport::wavHeader(2, 48000, sourceFrames);
        for (std::size_t i = 0; i < sourceFrames; ++i) {
            for (int c = 0; c < 2; ++c) put(out, static_cast<std::uint16_t>(std::lrint(sample(i, c) * 32767.0f)), 2);
        }
        return p;
    }();
    return path;
}

// Best throughput (input frames per second) of each benchmark, for the closing comparison.
std::map<std::string, double>& best() {
    static std::map<std::string, double> rates;
    return rates;
}

template <typename Work>
void measure(benchmark::State& state, const std::string& name, Work work) {
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool ok = work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!ok) {
            state.SkipWithError("conversion failed");
            return;
        }
        state.SetIterationTime(seconds);
        best()[name] = std::max(best()[name], static_cast<double>(sourceFrames) / seconds);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * sourceFrames));
    state.counters["output"] = benchmark::Counter(static_cast<double>(sourceFrames) / 3.0);
}

void BM_AudioConverter_Buffer(benchmark::State& state) {
    const rarivoredu::AudioConverter converter;
    const auto& buffer = sourceBuffer();
    measure(state, "AudioConverter, buffer", [&] {
        auto samples = converter.resampleBuffer(*buffer);
        benchmark::DoNotOptimize(samples.data());
        return samples.size() == sourceFrames / 3;
    });
}
BENCHMARK(BM_AudioConverter_Buffer)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_AudioConverter_WavFile(benchmark::State& state) {
    const rarivoredu::AudioConverter converter;
    const auto& path = sourceFile();
    measure(state, "AudioConverter, WAV file", [&] {
        auto samples = converter.resampleAudioFile(path);
        benchmark::DoNotOptimize(samples.data());
        return samples.size() == sourceFrames / 3;
    });
}
BENCHMARK(BM_AudioConverter_WavFile)->Unit(benchmark::kMillisecond)->UseManualTime();

// sox: the WAV file to raw 32-bit float at 16 kHz, keeping the first channel, high quality, no dither.
void BM_Sox_WavFile(benchmark::State& state) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        state.SkipWithError("sox is not installed");
        return;
    }
    const fs::path output = fs::temp_directory_path() / ("bench-audio-" + std::to_string(::getpid()) + ".f32");
    const std::string command = "sox -q -D '" + sourceFile().string() + "' -t f32 '" + output.string() +
                                "' remix 1 rate -h 16000";
    measure(state, "sox, WAV file", [&] {
        const int status = std::system(command.c_str());
        return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
               fs::file_size(output) == sourceFrames / 3 * sizeof(float);
    });
    fs::remove(output);
}
BENCHMARK(BM_Sox_WavFile)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto sox = best().find("sox, WAV file");
    std::printf("\nBest throughput, input frames per second (60 s of 48 kHz stereo to 16 kHz mono):\n");
    for (const auto& [name, rate] : best()) {
        std::printf("  %-26s %14.0f  (%.0fx real time)", name.c_str(), rate, rate / sourceRate);
        if (sox != best().end() && name != sox->first) std::printf("  %.2fx sox", rate / sox->second);
        std::printf("\n");
    }
    std::error_code ignored;
    fs::remove(sourceFile(), ignored);
    return 0;
}
