// The diarizer's two networks at their real size (segmentation-3.0's widths, WeSpeaker's
// ResNet34 with 32 channels) with random weights, per 10 s chunk, on the default pools:
//   BM_SegmentationPerChunk        one segmentation run
//   BM_EmbeddingPerSpeaker/<rows>  one embedding run with <rows> speakers' masks set
//   BM_ChunkWithSpeakers/<n>       segmentation plus n embedding runs of one speaker each, as
//                                  the pipeline runs them; rtfx = 10 s / that time, cpu_per_wall
//                                  the process's CPU time over it (cores busy on average)
// Each reports the process's peak resident memory so far (peak_rss_mb).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "Platform/ml/MLDictionaryFeatureProvider.h"
#include "Platform/ml/MLModel.h"
#include "RarivOredu/diarization/pyannote/PyannoteSegmentationNetwork.h"
#include "RarivOredu/diarization/wespeaker/WespeakerNetwork.h"

namespace {

namespace fs = std::filesystem;
using platform::MLDictionaryFeatureProvider;
using platform::MLFeatureValue;
using platform::MLModel;
using platform::MLMultiArray;
using platform::MLMultiArrayDataType;
using platform::MLMultiArrayPtr;
using Weights = std::map<std::string, MLMultiArrayPtr>;
using Clock = std::chrono::steady_clock;

std::mt19937 random32(30);

MLMultiArrayPtr uniform(MLMultiArray::Shape shape, float bound, float offset = 0) {
    auto array = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    std::uniform_real_distribution<float> draw(-bound, bound);
    float* p = array->data<float>();
    for (std::int64_t i = 0; i < array->count(); ++i) p[i] = offset + draw(random32);
    return array;
}

Weights segmentationWeights() {
    Weights w;
    w["sincnet.wav_norm1d.weight"] = uniform({1}, 0.1f, 1);
    w["sincnet.wav_norm1d.bias"] = uniform({1}, 0.1f);
    auto low = uniform({40, 1}, 0), band = uniform({40, 1}, 0);
    for (int i = 0; i < 40; ++i) {
        low->setValue(i, 30.0 + 190.0 * i);
        band->setValue(i, 190.0);
    }
    w["sincnet.conv1d.0.filterbank.low_hz_"] = low;
    w["sincnet.conv1d.0.filterbank.band_hz_"] = band;
    auto window = uniform({125}, 0), n = uniform({1, 125}, 0);
    for (int i = 0; i < 125; ++i) {
        window->setValue(i, 0.54 - 0.46 * std::cos(2 * M_PI * i / 251.0));
        n->setValue(i, 2 * M_PI * (i - 125) / 16000.0);
    }
    w["sincnet.conv1d.0.filterbank.window_"] = window;
    w["sincnet.conv1d.0.filterbank.n_"] = n;
    w["sincnet.conv1d.1.weight"] = uniform({60, 80, 5}, 0.05f);
    w["sincnet.conv1d.1.bias"] = uniform({60}, 0.05f);
    w["sincnet.conv1d.2.weight"] = uniform({60, 60, 5}, 0.05f);
    w["sincnet.conv1d.2.bias"] = uniform({60}, 0.05f);
    const int norms[] = {80, 60, 60};
    for (int i = 0; i < 3; ++i) {
        w["sincnet.norm1d." + std::to_string(i) + ".weight"] = uniform({norms[i]}, 0.1f, 1);
        w["sincnet.norm1d." + std::to_string(i) + ".bias"] = uniform({norms[i]}, 0.1f);
    }
    for (int layer = 0; layer < 4; ++layer) {
        for (const std::string suffix : {"", "_reverse"}) {
            const std::string l = std::to_string(layer) + suffix;
            w["lstm.weight_ih_l" + l] = uniform({512, layer == 0 ? 60 : 256}, 0.088f);
            w["lstm.weight_hh_l" + l] = uniform({512, 128}, 0.088f);
            w["lstm.bias_ih_l" + l] = uniform({512}, 0.088f);
            w["lstm.bias_hh_l" + l] = uniform({512}, 0.088f);
        }
    }
    w["linear.0.weight"] = uniform({128, 256}, 0.06f);
    w["linear.0.bias"] = uniform({128}, 0.06f);
    w["linear.1.weight"] = uniform({128, 128}, 0.09f);
    w["linear.1.bias"] = uniform({128}, 0.09f);
    w["classifier.weight"] = uniform({7, 128}, 0.09f);
    w["classifier.bias"] = uniform({7}, 0.09f);
    return w;
}

void addBatchNorm(Weights& w, const std::string& name, std::int64_t width) {
    w[name + ".weight"] = uniform({width}, 0.1f, 1);
    w[name + ".bias"] = uniform({width}, 0.1f);
    w[name + ".running_mean"] = uniform({width}, 0.1f);
    w[name + ".running_var"] = uniform({width}, 0.2f, 1);
}

Weights embeddingWeights() {
    Weights w;
    const std::int64_t c = 32;
    w["resnet.conv1.weight"] = uniform({c, 1, 3, 3}, 0.5f);
    addBatchNorm(w, "resnet.bn1", c);
    const int blocks[] = {3, 4, 6, 3};
    std::int64_t in = c;
    for (int stage = 1; stage <= 4; ++stage) {
        const std::int64_t planes = c << (stage - 1);
        for (int b = 0; b < blocks[stage - 1]; ++b) {
            const std::string name = "resnet.layer" + std::to_string(stage) + "." + std::to_string(b);
            const float bound = std::sqrt(3.0f / static_cast<float>(9 * in));
            w[name + ".conv1.weight"] = uniform({planes, in, 3, 3}, bound);
            addBatchNorm(w, name + ".bn1", planes);
            w[name + ".conv2.weight"] = uniform({planes, planes, 3, 3}, std::sqrt(3.0f / static_cast<float>(9 * planes)));
            addBatchNorm(w, name + ".bn2", planes);
            if (b == 0 && stage > 1) {
                w[name + ".shortcut.0.weight"] = uniform({planes, in, 1, 1}, std::sqrt(3.0f / static_cast<float>(in)));
                addBatchNorm(w, name + ".shortcut.1", planes);
            }
            in = planes;
        }
    }
    w["resnet.seg_1.weight"] = uniform({256, 5120}, 0.024f);
    w["resnet.seg_1.bias"] = uniform({256}, 0.024f);
    return w;
}

struct Networks {
    platform::MLModelPtr segmentation;
    platform::MLModelPtr embedding;
    fs::path folder;

    Networks() {
        folder = fs::temp_directory_path() / ("bench-diarization-" + std::to_string(::getpid()));
        rarivoredu::PyannoteSegmentationNetwork(rarivoredu::StateDict(segmentationWeights()))
            .writeBundle(folder / "pyannote_segmentation.mlmodelc");
        rarivoredu::WespeakerNetwork(rarivoredu::StateDict(embeddingWeights()))
            .writeBundle(folder / "wespeaker_v2.mlmodelc");
        segmentation = MLModel::modelWithContentsOfURL(folder / "pyannote_segmentation.mlmodelc");
        embedding = MLModel::modelWithContentsOfURL(folder / "wespeaker_v2.mlmodelc");
    }
    ~Networks() { fs::remove_all(folder); }
};

Networks& networks() {
    static Networks instance;
    return instance;
}

// Speech-like noise in the chunk's first row.
MLMultiArrayPtr chunk(MLMultiArray::Shape shape) {
    auto array = MLMultiArray::create(shape, MLMultiArrayDataType::float32);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    float* p = array->data<float>();
    for (std::int64_t i = 0; i < array->count(); ++i) p[i] = i < 160000 ? noise(random32) : 0.0f;
    return array;
}

MLMultiArrayPtr masks(int rows) {
    auto mask = MLMultiArray::create({3, 589}, MLMultiArrayDataType::float32);
    for (std::int64_t i = 0; i < mask->count(); ++i) mask->setValue(i, (i / 589) < rows && (i % 589) < 400 ? 1.0 : 0.0);
    return mask;
}

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void reportPeakMemory(benchmark::State& state) {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double runSegmentation(const MLDictionaryFeatureProvider& inputs) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(networks().segmentation->predictionFromFeatures(inputs));
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_SegmentationPerChunk(benchmark::State& state) {
    const MLDictionaryFeatureProvider inputs({{"audio", MLFeatureValue::featureValueWithMultiArray(chunk({1, 1, 160000}))}});
    runSegmentation(inputs);
    for (auto _ : state) runSegmentation(inputs);
    reportPeakMemory(state);
}
BENCHMARK(BM_SegmentationPerChunk)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EmbeddingPerSpeaker(benchmark::State& state) {
    const MLDictionaryFeatureProvider inputs(
        {{"waveform", MLFeatureValue::featureValueWithMultiArray(chunk({3, 160000}))},
         {"mask", MLFeatureValue::featureValueWithMultiArray(masks(static_cast<int>(state.range(0))))}});
    networks().embedding->predictionFromFeatures(inputs);
    for (auto _ : state) benchmark::DoNotOptimize(networks().embedding->predictionFromFeatures(inputs));
    reportPeakMemory(state);
}
BENCHMARK(BM_EmbeddingPerSpeaker)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ChunkWithSpeakers(benchmark::State& state) {
    const MLDictionaryFeatureProvider segmentationInputs(
        {{"audio", MLFeatureValue::featureValueWithMultiArray(chunk({1, 1, 160000}))}});
    const MLDictionaryFeatureProvider embeddingInputs(
        {{"waveform", MLFeatureValue::featureValueWithMultiArray(chunk({3, 160000}))},
         {"mask", MLFeatureValue::featureValueWithMultiArray(masks(1))}});
    double seconds = 0, cpuSeconds = 0;
    for (auto _ : state) {
        const double cpuStart = processCpuSeconds();
        const auto start = Clock::now();
        networks().segmentation->predictionFromFeatures(segmentationInputs);
        for (int i = 0; i < state.range(0); ++i) networks().embedding->predictionFromFeatures(embeddingInputs);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        cpuSeconds += processCpuSeconds() - cpuStart;
    }
    state.counters["rtfx"] = 10.0 * static_cast<double>(state.iterations()) / seconds;
    state.counters["cpu_per_wall"] = cpuSeconds / seconds;
    reportPeakMemory(state);
}
BENCHMARK(BM_ChunkWithSpeakers)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
