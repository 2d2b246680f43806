// The lexicon made from misaki's word lists: the conversion a first synthesis runs once, and the
// load every process runs. Word lists of the real size (90201 gold words, 9226 of them
// capitalised or in capitals and 790 with readings by part of speech; 93361 silver words; words
// of about 9 letters with readings of about 9 symbols) are made up here; with
// PARLOQUIN_MISAKI_DATA set to a folder holding us_gold.json and us_silver.json, those are read.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/misaki/MisakiLexicon.h"

namespace {

using rarivoredu::MisakiLexicon;
using rarivoredu::PhonemeSet;

// The symbols misaki's US readings use.
const char* const kSymbols[] = {"A", "I", "O", "W", "Y", "b", "d", "f", "h", "i", "j", "k", "l", "m", "n", "p",
                                "s", "t", "u", "v", "w", "z", "æ", "ð", "ŋ", "ɑ", "ɔ", "ə", "ɛ", "ɜ", "ɡ", "ɪ",
                                "ɹ", "ɾ", "ʃ", "ʊ", "ʌ", "ʒ", "ʔ", "ʤ", "ʧ", "ˈ", "ˌ", "θ", "ᵊ", "ᵻ"};

PhonemeSet symbols() { return PhonemeSet(std::begin(kSymbols), std::end(kSymbols)); }

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string madeUpList(unsigned seed, int words, int capitalised, int withTags) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> length(5, 13);
    std::uniform_int_distribution<std::size_t> symbol(0, std::size(kSymbols) - 1);
    const auto reading = [&] {
        std::string text = "\"";
        for (int n = length(random); n > 0; --n) text += kSymbols[symbol(random)];
        return text + "\"";
    };
    std::string text = "{";
    for (int i = 0; i < words; ++i) {
        std::string word;
        for (int n = length(random); n > 0; --n) word += static_cast<char>(letter(random));
        if (i < capitalised) word[0] = static_cast<char>(word[0] - 'a' + 'A');
        if (i > 0) text += ",";
        text += "\n\"" + word + "\":";
        text += i % (words / withTags) == 0 ? "{\"DEFAULT\":" + reading() + ",\"VERB\":" + reading() + "}" : reading();
    }
    return text + "\n}";
}

// Resident memory in MB, from /proc/self/statm.
double residentMB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

struct WordLists {
    std::string gold, silver;
    static const WordLists& shared() {
        static const WordLists lists = [] {
            if (const char* folder = std::getenv("PARLOQUIN_MISAKI_DATA"); folder && *folder) {
                return WordLists{readAll(std::string(folder) + "/us_gold.json"), readAll(std::string(folder) + "/us_silver.json")};
            }
            return WordLists{madeUpList(1, 90201, 9226, 790), madeUpList(2, 93361, 0, 1)};
        }();
        return lists;
    }
};

void BM_ConvertWordLists(benchmark::State& state) {
    const auto& lists = WordLists::shared();
    const PhonemeSet allowed = symbols();
    std::size_t bytes = 0, entries = 0;
    for (auto _ : state) {
        const MisakiLexicon lexicon = MisakiLexicon::fromWordLists(lists.gold, lists.silver, allowed);
        const std::string json = lexicon.json();
        bytes = json.size();
        entries = lexicon.lower.size() + lexicon.caseSensitive.size();
        benchmark::DoNotOptimize(json.data());
    }
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_ConvertWordLists)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LoadConvertedLexicon(benchmark::State& state) {
    const auto& lists = WordLists::shared();
    const PhonemeSet allowed = symbols();
    const std::string file = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench-us_lexicon_cache.json";
    std::ofstream(file, std::ios::binary) << MisakiLexicon::fromWordLists(lists.gold, lists.silver, allowed).json();
    double held = 0;
    for (auto _ : state) {
        const double before = residentMB();
        rarivoredu::KokoroSynthesizer::LexiconCache cache;
        benchmark::DoNotOptimize(cache.load(file, allowed));
        held = std::max(held, residentMB() - before);  // the first load, its parse included: later loads reuse that memory
    }
    state.counters["rss_growth_MB"] = held;
    std::remove(file.c_str());
}
BENCHMARK(BM_LoadConvertedLexicon)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
