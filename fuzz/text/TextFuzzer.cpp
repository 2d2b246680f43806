// The synthesis text front end: preprocessing (numbers, dates, units, abbreviations, alias and
// pronunciation markup), the input sanitising with its overrides, and the chunker with the
// lexicons and eSpeak NG for the words outside them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "RarivOredu/tts/EspeakG2PError.h"
#include "RarivOredu/tts/KokoroChunker.h"
#include "RarivOredu/tts/SynthesizerInput.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"
#include "fuzz/support/FuzzInput.h"

using namespace rarivoredu;

namespace {

const PhonemeSet& allowed() {
    static const PhonemeSet symbols = [] {
        PhonemeSet set;
        const char* text[] = {";", ":", ",", ".", "!", "?", "—", "…", "\"", "(", ")", " ", "a", "b", "d", "e", "f",
                              "h", "i", "j", "k", "l", "m", "n", "o", "p", "r", "s", "t", "u", "v", "w", "z", "ð",
                              "ŋ", "ɐ", "ɑ", "ɔ", "ə", "ɚ", "ɛ", "ɜ", "ɡ", "ɪ", "ɹ", "ɾ", "ʃ", "ʊ", "ʌ", "ʒ",
                              "ʔ", "θ", "ˈ", "ˌ", "ː", "A", "I", "O", "W", "Y", "ᵊ"};
        for (const char* symbol : text) set.emplace(symbol);
        return set;
    }();
    return symbols;
}

const PhonemeLexicon& lower() {
    static const PhonemeLexicon lexicon{{"hello", {"h", "ə", "l", "ˈ", "O"}}, {"world", {"w", "ˈ", "ɜ", "ɹ", "l", "d"}},
                                        {"the", {"ð", "ə"}}, {"a", {"ɐ"}}};
    return lexicon;
}

const PhonemeLexicon& caseSensitive() {
    static const PhonemeLexicon lexicon{{"NASA", {"n", "ˈ", "æ", "s", "ə"}}};
    return lexicon;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::quietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Callers hand texts of a few sentences; the chunker's cost grows with the text.
    if (size > 4096) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        auto preprocessed = TtsTextPreprocessor::preprocess(text);
        const std::string sanitized = KokoroSynthesizer::sanitizeInput(preprocessed.text);
        const auto overrides =
            KokoroSynthesizer::overridesAfterSanitizing(preprocessed.text, std::move(preprocessed.phoneticOverrides));
        for (const bool extra : {false, true}) {
            const auto chunks = KokoroChunker::chunk(sanitized, lower(), caseSensitive(), 124, extra, allowed(), overrides);
            (void)chunks.size();
        }
    } catch (const EspeakG2PError&) {
    } catch (const TTSError&) {
    }
    return 0;
}
