// The speech synthesis front end on a 10,000-word English text: preprocessing, chunking to the
// 15-second capacity and the phonemes of every word, with the lexicon as a real request has it
// (most words known, the rest from eSpeak NG), with every word from eSpeak NG, and with every
// word in the lexicon. The sample repeats a few sentences (about 200 distinct words), so a second
// text of 10,000 words with the vocabulary of real prose (about 3,500 distinct words) shows what
// eSpeak NG costs when most words are new. Then eSpeak NG alone: one word per call from another
// thread, as the chunker calls it, and many words in one block on its queue. Times are wall-clock
// times: eSpeak NG works on its own thread.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RarivOredu/tts/EspeakG2P.h"
#include "RarivOredu/tts/KokoroChunker.h"
#include "RarivOredu/tts/KokoroChunkerWords.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/PhonemeTokenFitting.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"
#include "bench/tts/WideVocabularyText.h"
#include "tests/support/SpeechSampleText.h"

namespace {

using namespace rarivoredu;

constexpr int kWords = 10000;
constexpr int kCapacity = 249;  // the 15-second model

const std::string& sampleText() {
    static const std::string text = testsupport::speechSampleText(kWords);
    return text;
}

const std::string& wideText() {
    static const std::string text = benchtext::wideVocabularyText(kWords);
    return text;
}

const PhonemeSet& symbols() {
    static const PhonemeSet all = [] {
        KokoroVocabulary vocabulary;
        vocabulary.loadVocabulary(std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests/fixtures/tts/vocab_index.json");
        PhonemeSet set;
        for (const auto& [symbol, id] : vocabulary.vocabulary()) set.insert(symbol);
        return set;
    }();
    return all;
}

// The distinct cleaned words of a preprocessed text.
std::vector<std::string> distinctWords(const std::string& written = sampleText()) {
    std::vector<std::string> words;
    PhonemeSet seen;
    const std::string text = TtsTextPreprocessor::preprocess(written).text;
    for (const auto& atom : KokoroChunker::atomize(text)) {
        if (atom.kind != KokoroChunker::AtomKind::word) continue;
        const std::string cleaned = KokoroChunker::cleanWord(atom.text);
        if (!cleaned.empty() && seen.insert(cleaned).second) words.push_back(cleaned);
    }
    return words;
}

// A lexicon holding every `stride`-th distinct word of a text, as eSpeak NG reads it.
PhonemeLexicon lexiconOfEvery(std::size_t stride, const std::string& written = sampleText()) {
    PhonemeLexicon lexicon;
    const auto words = distinctWords(written);
    for (std::size_t i = 0; i < words.size(); i += stride) {
        const auto tokens = EspeakG2P::shared().phonemize(words[i], "en-us");
        if (tokens) lexicon[words[i]] = mergeLexiconTokens(*tokens, symbols());
    }
    return lexicon;
}

// Four words in five of a text known, as a large lexicon knows most words of a text.
PhonemeLexicon mostWordsOf(const std::string& written) {
    PhonemeLexicon all = lexiconOfEvery(1, written);
    std::size_t i = 0;
    for (auto it = all.begin(); it != all.end();) it = (i++ % 5 == 0) ? all.erase(it) : std::next(it);
    return all;
}

void frontEnd(benchmark::State& state, const PhonemeLexicon& lexicon, const std::string& text = sampleText()) {
    const PhonemeLexicon caseSensitive;
    std::size_t chunks = 0;
    for (auto _ : state) {
        const TtsPreprocessingResult prepared = TtsTextPreprocessor::preprocess(text);
        const auto result = KokoroChunker::chunk(prepared.text, lexicon, caseSensitive, kCapacity, false, symbols(),
                                                 prepared.phoneticOverrides);
        chunks = result.size();
        benchmark::DoNotOptimize(result.data());
    }
    state.counters["chunks"] = static_cast<double>(chunks);
    state.counters["words/s"] = benchmark::Counter(kWords, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FrontEnd_MostWordsInLexicon(benchmark::State& state) {
    static const PhonemeLexicon lexicon = mostWordsOf(sampleText());
    frontEnd(state, lexicon);
}
BENCHMARK(BM_FrontEnd_MostWordsInLexicon)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrontEnd_AllWordsFromEspeak(benchmark::State& state) {
    static const PhonemeLexicon lexicon = {{"placeholder", {"p"}}};
    frontEnd(state, lexicon);
}
BENCHMARK(BM_FrontEnd_AllWordsFromEspeak)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrontEnd_AllWordsInLexicon(benchmark::State& state) {
    static const PhonemeLexicon lexicon = lexiconOfEvery(1);
    frontEnd(state, lexicon);
}
BENCHMARK(BM_FrontEnd_AllWordsInLexicon)->Unit(benchmark::kMillisecond)->UseRealTime();

// The text with the vocabulary of real prose: every distinct word once through eSpeak NG per run.
void BM_FrontEnd_WideVocabulary_AllWordsFromEspeak(benchmark::State& state) {
    static const PhonemeLexicon lexicon = {{"placeholder", {"p"}}};
    frontEnd(state, lexicon, wideText());
    state.counters["distinct words"] = static_cast<double>(distinctWords(wideText()).size());
}
BENCHMARK(BM_FrontEnd_WideVocabulary_AllWordsFromEspeak)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrontEnd_WideVocabulary_MostWordsInLexicon(benchmark::State& state) {
    static const PhonemeLexicon lexicon = mostWordsOf(wideText());
    frontEnd(state, lexicon, wideText());
}
BENCHMARK(BM_FrontEnd_WideVocabulary_MostWordsInLexicon)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Preprocess(benchmark::State& state) {
    for (auto _ : state) {
        const auto prepared = TtsTextPreprocessor::preprocess(sampleText());
        benchmark::DoNotOptimize(prepared.text.data());
    }
    state.counters["words/s"] = benchmark::Counter(kWords, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Preprocess)->Unit(benchmark::kMillisecond)->UseRealTime();

// One word per call, from another thread through the engine's queue, as the chunker asks.
void espeakPerWord(benchmark::State& state, const std::vector<std::string>& words) {
    EspeakG2P& g2p = EspeakG2P::shared();
    std::size_t next = 0;
    for (auto _ : state) {
        auto tokens = g2p.queue().sync([&] { return g2p.phonemize(words[next], "en-us"); });
        benchmark::DoNotOptimize(tokens);
        next = (next + 1) % words.size();
    }
    state.counters["distinct words"] = static_cast<double>(words.size());
}

void BM_EspeakPerWord(benchmark::State& state) {
    static const std::vector<std::string> words = distinctWords();
    espeakPerWord(state, words);
}
BENCHMARK(BM_EspeakPerWord)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_EspeakPerWord_WideVocabulary(benchmark::State& state) {
    static const std::vector<std::string> words = distinctWords(wideText());
    espeakPerWord(state, words);
}
BENCHMARK(BM_EspeakPerWord_WideVocabulary)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The library's own cost per word: all words of the sample in one block on the queue.
void BM_EspeakPerWord_OnTheQueue(benchmark::State& state) {
    static const std::vector<std::string> words = distinctWords();
    EspeakG2P& g2p = EspeakG2P::shared();
    for (auto _ : state) {
        g2p.queue().sync([&] {
            for (const auto& word : words) benchmark::DoNotOptimize(g2p.phonemize(word, "en-us"));
        });
    }
    state.counters["per word"] = benchmark::Counter(static_cast<double>(words.size()),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_EspeakPerWord_OnTheQueue)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
