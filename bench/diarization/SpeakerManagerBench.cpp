// Assigning 10,000 embeddings against a database of 50 speakers: every embedding is a near copy
// of one of them, so each assignment scans all 50 and updates the match (history, mean, moving
// average), the most expensive path.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "RarivOredu/diarization/SpeakerManager.h"

namespace {

std::vector<float> randomUnit(std::mt19937& random) {
    std::normal_distribution<float> normal;
    std::vector<float> v(256);
    float sum = 0;
    for (auto& x : v) {
        x = normal(random);
        sum += x * x;
    }
    for (auto& x : v) x /= std::sqrt(sum);
    return v;
}

void BM_Assign10000EmbeddingsTo50Speakers(benchmark::State& state) {
    std::mt19937 random(7);
    std::vector<std::vector<float>> voices;
    std::vector<rarivoredu::SpeakerPtr> known;
    for (int i = 0; i < 50; ++i) {
        voices.push_back(randomUnit(random));
        known.push_back(std::make_shared<rarivoredu::Speaker>(std::to_string(i + 1), std::nullopt, voices.back()));
    }
    std::vector<std::vector<float>> embeddings;
    std::normal_distribution<float> noise(0.0f, 0.01f);
    for (int i = 0; i < 10000; ++i) {
        auto embedding = voices[static_cast<std::size_t>(i) % voices.size()];
        for (auto& x : embedding) x += noise(random);
        embeddings.push_back(std::move(embedding));
    }
    for (auto _ : state) {
        state.PauseTiming();
        rarivoredu::SpeakerManager manager(0.84f, 0.56f, 1.0f, 2.0f);
        std::vector<rarivoredu::SpeakerPtr> seeded;
        for (const auto& speaker : known) {
            seeded.push_back(std::make_shared<rarivoredu::Speaker>(speaker->id, std::nullopt, speaker->currentEmbedding()));
        }
        manager.initializeKnownSpeakers(seeded);
        state.ResumeTiming();
        for (const auto& embedding : embeddings) benchmark::DoNotOptimize(manager.assignSpeaker(embedding, 2.0f));
    }
}
BENCHMARK(BM_Assign10000EmbeddingsTo50Speakers)->Unit(benchmark::kMillisecond);

}  // namespace
