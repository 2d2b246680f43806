// The Kokoro network at its real size (about 82 million random weights in the upstream layout,
// written into both bundles): one sentence through TtSManager per variant, on the default thread
// pools. "rtf" is the wall time of a request over the seconds of audio it made (the aim is 0.2 or
// less), "cpu_rtf" the processor time of all threads over the same (what a busy machine cannot
// hide); "peak_rss_MB" the process's peak resident size so far. Setting up writes both bundles
// (about 330 MB each) into a temporary folder and reports the time it took.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/kokoro/KokoroBundleWriter.h"
#include "RarivOredu/tts/kokoro/KokoroWeightNorm.h"
#include "RarivOredu/tts/kokoro/KokoroVoicePack.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/tts/KokoroRandomWeights.h"

namespace {

using namespace rarivoredu;
namespace fs = std::filesystem;
using Variant = ModelNames::TTS::Variant;

long statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field))) * 1024;
    }
    return 0;
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct RealSizeEngine {
    RealSizeEngine() {
        environment.set("XDG_CACHE_HOME", folder.path().string());
        const fs::path kokoro = folder.path() / "rarivoredu" / "Models" / "kokoro";
        fs::create_directories(kokoro / "voices");
        for (const char* name : {"vocab_index.json", "us_lexicon_cache.json"}) {
            fs::copy_file(fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/tts" / name, kokoro / name);
        }
        const fs::path voice = fs::path(PARLOQUIN_NPM_MODULES) / "kokoro-js" / "voices" / "af_heart.bin";
        if (fs::exists(voice)) {
            KokoroVoicePack::fromFloat32File(voice).writeJSON(kokoro / "voices" / "af_heart.json");
        } else {
            // Without the npm packages: a seeded voice of the same size (256 values in a voice's range).
            std::ofstream json(kokoro / "voices" / "af_heart.json");
            std::mt19937 random(7);
            std::uniform_real_distribution<float> value(-0.3f, 0.3f);
            json << "{\"embedding\": [";
            for (int i = 0; i < 256; ++i) json << (i ? ", " : "") << value(random);
            json << "]}";
        }
        const auto started = std::chrono::steady_clock::now();
        // Folded as the import folds them.
        const StateDict weights =
            KokoroWeightNorm::fold(testsupport::KokoroRandomWeights::realSize(), folder.path() / "fold");
        parameters = weights.elementCount();
        TtsModels models;
        for (const Variant variant : ModelNames::TTS::allVariants) {
            const fs::path bundle = folder.path() / "bundles" / ModelNames::TTS::fileName(variant);
            KokoroBundleWriter::write(bundle, variant, weights, KokoroNetworkConfig{});
            models.kokoroModels[variant] = platform::MLModel::modelWithContentsOfURL(bundle);
        }
        writeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        manager = std::make_unique<TtSManager>();
        manager->initializeWithModels(models);
    }

    testsupport::TemporaryDirectory folder;
    testsupport::ScopedEnvironment environment;
    std::unique_ptr<TtSManager> manager;
    std::int64_t parameters = 0;
    double writeSeconds = 0;
};

RealSizeEngine& engine() {
    static RealSizeEngine instance;
    return instance;
}

void synthesize(benchmark::State& state, Variant variant, const std::string& text) {
    RealSizeEngine& e = engine();
    double audioSeconds = 0;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double cpuStarted = processCpuSeconds();
        const auto started = std::chrono::steady_clock::now();
        const auto result = e.manager->synthesizeDetailed(text, std::nullopt, 0, 1.0f, variant);
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        cpuSeconds += processCpuSeconds() - cpuStarted;
        std::size_t samples = 0;
        for (const auto& chunk : result.chunks) samples += chunk.samples.size();
        audioSeconds += static_cast<double>(samples) / 24000.0;
        benchmark::DoNotOptimize(result.audio.data());
    }
    state.counters["rtf"] = wallSeconds / audioSeconds;
    state.counters["cpu_rtf"] = cpuSeconds / audioSeconds;
    state.counters["audio_s"] = audioSeconds / static_cast<double>(state.iterations());
    state.counters["peak_rss_MB"] = static_cast<double>(statusBytes("VmHWM:")) / 1e6;
    state.counters["parameters_M"] = static_cast<double>(e.parameters) / 1e6;
    state.counters["bundles_write_s"] = e.writeSeconds;
}

void BM_RealSizeFiveSecond(benchmark::State& state) {
    synthesize(state, Variant::fiveSecond, "The cat sat on the mat and said hello world now.");
}
void BM_RealSizeFifteenSecond(benchmark::State& state) {
    synthesize(state, Variant::fifteenSecond,
               "The cat sat on the mat and said hello world now. The cat sat on the mat and said hello world now. "
               "The cat sat on the mat.");
}
BENCHMARK(BM_RealSizeFiveSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RealSizeFifteenSecond)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
