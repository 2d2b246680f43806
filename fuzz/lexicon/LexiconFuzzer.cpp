// misaki's word lists (us_gold.json, us_silver.json) made into the synthesis lexicon, and the
// lexicon cache file (us_lexicon_cache.json) read back. Input: gold, silver and a cache file, cut
// by the separator.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Platform/system/NSError.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/misaki/MisakiLexicon.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

namespace {

// Kokoro's vocabulary symbols, as the model's vocab_index.json lists them.
const PhonemeSet& allowed() {
    static const PhonemeSet symbols = [] {
        PhonemeSet set;
        const char* text[] = {";", ":", ",", ".", "!", "?", "—", "…", "\"", "(", ")", "“", "”", " ", "a", "b", "d",
                              "e", "f", "h", "i", "j", "k", "l", "m", "n", "o", "p", "r", "s", "t", "u", "v", "w",
                              "z", "ð", "ŋ", "ɐ", "ɑ", "ɔ", "ə", "ɚ", "ɛ", "ɜ", "ɡ", "ɪ", "ɹ", "ɾ", "ʃ", "ʊ",
                              "ʌ", "ʒ", "ʔ", "θ", "ˈ", "ˌ", "ː", "A", "I", "O", "Q", "S", "T", "W", "Y", "ᵊ"};
        for (const char* symbol : text) set.emplace(symbol);
        return set;
    }();
    return symbols;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzzsupport::split(data, size, 3);
    try {
        const auto lexicon = MisakiLexicon::fromWordLists(parts[0], parts[1], allowed());
        // The lexicon file it writes is one the cache reads.
        const auto written = fuzzsupport::writeScratch(KokoroSynthesizer::LexiconCache::fileName, lexicon.json());
        KokoroSynthesizer::LexiconCache cache;
        (void)cache.load(written, allowed());
    } catch (const platform::NSError&) {
    }
    KokoroSynthesizer::LexiconCache cache;
    (void)cache.load(fuzzsupport::writeScratch("cache.json", parts[2]), allowed());
    (void)cache.footprint();
    return 0;
}
