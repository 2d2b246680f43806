// The synthesis engine around the model: a 2,000-word request through TtSManager with the
// miniature models (real input and output sizes, 1,600 samples of audio per token, about what the
// real models give), at normal speed and at 1.5 times. "outside_model_us/chunk" is the processor
// time of the request, summed over every thread, less the time spent inside the models, per chunk:
// text front end, voice and array handling, audio joining, normalisation, speed change and WAV.
// Then one 5,000-word request, for its memory: the peak resident size it adds to the process, the
// part of it beyond what the result itself holds (chunk samples and WAV bytes), the most
// predictions that ran at once and the input arrays the pool kept. Run it on its own
// (--benchmark_filter=FiveThousand): memory freed by the benchmarks before it stays resident.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "RarivOredu/tts/MultiArrayPool.h"
#include "RarivOredu/tts/TtSManager.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/tts/KokoroFixtureModels.h"

namespace {

using namespace rarivoredu;
namespace fs = std::filesystem;
using Variant = ModelNames::TTS::Variant;

// Sentences of words the fixture lexicon holds, so that eSpeak NG plays no part.
std::string lexiconText(int words) {
    static const char* const sentence[] = {"The", "cat", "sat", "on", "the", "mat", "and", "said", "hello", "world", "now"};
    std::string text;
    for (int i = 0; i < words; ++i) {
        text += (i == 0 ? "" : " ") + std::string(sentence[i % 11]);
        if (i % 11 == 10 || i == words - 1) text += ".";
    }
    return text;
}

void copyFixture(const std::string& name, const fs::path& to) {
    fs::copy_file(fs::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/tts" / name, to / name,
                  fs::copy_options::overwrite_existing);
}

// A synthesis cache holding the vocabulary, the lexicon and the default voice, and a manager
// initialised with the miniature models.
struct Engine {
    explicit Engine(int samplesPerToken) : models({124, 249, 256, samplesPerToken}) {
        environment.set("XDG_CACHE_HOME", folder.path().string());
        const fs::path kokoro = folder.path() / "rarivoredu" / "Models" / "kokoro";
        fs::create_directories(kokoro / "voices");
        copyFixture("vocab_index.json", kokoro);
        copyFixture("us_lexicon_cache.json", kokoro);
        std::ofstream(kokoro / "voices" / "af_heart.json") << models.voiceJson("af_heart");
        manager = std::make_unique<TtSManager>();
        manager->initializeWithModels(models.ttsModels());
    }

    testsupport::TemporaryDirectory folder;
    testsupport::ScopedEnvironment environment;
    testsupport::KokoroFixtureModels models;
    std::unique_ptr<TtSManager> manager;
};

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void synthesisAroundTheModel(benchmark::State& state, float speed) {
    Engine engine(1600);
    const std::string text = lexiconText(2000);
    double outside = 0;
    double chunks = 0;
    for (auto _ : state) {
        engine.models.clearObservations();
        const double started = processCpuSeconds();
        const auto result = engine.manager->synthesizeDetailed(text, std::nullopt, 0, speed);
        outside += processCpuSeconds() - started - engine.models.modelCpuSeconds();
        chunks += static_cast<double>(result.chunks.size());
        benchmark::DoNotOptimize(result.audio.data());
    }
    state.counters["chunks"] = chunks / static_cast<double>(state.iterations());
    state.counters["outside_model_us/chunk"] = outside / chunks * 1e6;
}

void BM_SynthesisOutsideModel(benchmark::State& state) { synthesisAroundTheModel(state, 1.0f); }
void BM_SynthesisOutsideModelAtSpeed1_5(benchmark::State& state) { synthesisAroundTheModel(state, 1.5f); }
BENCHMARK(BM_SynthesisOutsideModel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SynthesisOutsideModelAtSpeed1_5)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Resident set size figures of /proc/self/status, in bytes.
long statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field))) * 1024;
    }
    return 0;
}

void BM_FiveThousandWordsPeakMemory(benchmark::State& state) {
    Engine engine(1600);
    const std::string text = lexiconText(5000);
    engine.manager->synthesize("Hello world.");  // the lexicon, vocabulary and voice are in memory
    for (auto _ : state) {
        std::ofstream("/proc/self/clear_refs") << "5";  // starts the peak anew at the current size
        const long before = statusBytes("VmRSS:");
        const auto result = engine.manager->synthesizeDetailed(text);
        const long peak = statusBytes("VmHWM:");
        std::size_t resultBytes = result.audio.size();
        for (const auto& chunk : result.chunks) resultBytes += chunk.samples.size() * sizeof(float);
        auto& pool = KokoroSynthesizer::multiArrayPool();
        const std::size_t pooled = pool.availableCount({1, 124}, platform::MLMultiArrayDataType::int32) +
                                   pool.availableCount({1, 249}, platform::MLMultiArrayDataType::int32) +
                                   pool.availableCount({1, 256}, platform::MLMultiArrayDataType::float32) +
                                   pool.availableCount({1, 9}, platform::MLMultiArrayDataType::float32);
        state.counters["chunks"] = static_cast<double>(result.chunks.size());
        state.counters["peak_added_MB"] = static_cast<double>(peak - before) / 1e6;
        state.counters["result_MB"] = static_cast<double>(resultBytes) / 1e6;
        state.counters["beyond_result_MB"] = static_cast<double>(peak - before - static_cast<long>(resultBytes)) / 1e6;
        state.counters["pooled_arrays"] = static_cast<double>(pooled);
        state.counters["at_once"] = engine.models.mostPredictionsAtOnce();
        state.counters["workers"] = TtsConstants::chunkPredictionWorkers;
        benchmark::DoNotOptimize(result.audio.data());
    }
}
BENCHMARK(BM_FiveThousandWordsPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
