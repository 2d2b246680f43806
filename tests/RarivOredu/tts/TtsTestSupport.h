#pragma once

#include <clocale>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <unicode/locid.h>

#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/PhonemeLexicon.h"

namespace ttstest {

inline std::filesystem::path fixturePath(const std::string& name) {
    return std::filesystem::path(PARLOQUIN_SOURCE_DIR) / "tests" / "fixtures" / "tts" / name;
}

// The symbols of the fixture vocabulary.
inline rarivoredu::PhonemeSet fixtureSymbols() {
    rarivoredu::KokoroVocabulary vocabulary;
    vocabulary.loadVocabulary(fixturePath("vocab_index.json"));
    rarivoredu::PhonemeSet symbols;
    for (const auto& [symbol, id] : vocabulary.vocabulary()) symbols.insert(symbol);
    return symbols;
}

struct FixtureLexicon {
    rarivoredu::PhonemeLexicon lower;
    rarivoredu::PhonemeLexicon caseSensitive;
};

// The fixture lexicon as the cache loads it for these symbols.
inline FixtureLexicon fixtureLexicon(const rarivoredu::PhonemeSet& symbols) {
    rarivoredu::KokoroSynthesizer::LexiconCache cache;
    cache.ensureLoaded(fixturePath(""), symbols);
    return {*cache.wordToPhonemes(), *cache.caseSensitiveWordToPhonemes()};
}

// Tokens written one after another, with a separator between them.
inline std::string joined(const std::vector<std::string>& tokens, const char* separator = "") {
    std::string text;
    for (const auto& token : tokens) {
        if (!text.empty()) text += separator;
        text += token;
    }
    return text;
}

// Switches the C library's locale and ICU's default locale for a block of a test.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name)
        : previousC_(std::setlocale(LC_ALL, nullptr)), previousIcu_(icu::Locale::getDefault()) {
        if (!std::setlocale(LC_ALL, name)) {
            throw std::runtime_error(std::string("Locale ") + name + " is missing; scripts/install-deps.sh makes it");
        }
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(std::string(name).substr(0, std::string(name).find('.')).c_str()), status);
    }
    ~ScopedLocale() {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(previousIcu_, status);
        std::setlocale(LC_ALL, previousC_.c_str());
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::string previousC_;
    icu::Locale previousIcu_;
};

}  // namespace ttstest
