#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "RarivOredu/tts/PhonemeLexicon.h"

namespace rarivoredu::KokoroSynthesizer {

// The pronunciation lexicon of the voice, read once per process from "us_lexicon_cache.json":
// {"lower": {word: [symbol, …]}, "caseSensitive": {word: [symbol, …]}}, every list cut down to
// the symbols the model's vocabulary accepts. Loads and reads are serialised.
class LexiconCache {
public:
    static constexpr const char* fileName = "us_lexicon_cache.json";

    struct Footprint {
        std::int64_t entries = 0;     // of both maps
        std::int64_t phonemes = 0;    // phoneme strings of both maps
        std::int64_t utf16Units = 0;  // UTF-16 length of every key and phoneme string
    };

    // Loads directory/us_lexicon_cache.json unless already loaded (with a case-sensitive map that
    // is not empty). Throws TTSError.processingFailed "Missing lexicon cache (expected
    // us_lexicon_cache.json)" when the file is missing, unreadable, malformed, or holds no
    // allowed symbol in its "lower" map.
    void ensureLoaded(const std::filesystem::path& directory, const PhonemeSet& allowed);
    // Reads the file; false when it is missing, unreadable, malformed (the maps are emptied and a
    // warning logged) or its "lower" map holds no allowed symbol at all (nothing changes).
    bool load(const std::filesystem::path& file, const PhonemeSet& allowed);

    Footprint footprint() const;
    bool isLoaded() const;
    // The maps as loaded; they stay valid however the cache changes later.
    std::shared_ptr<const PhonemeLexicon> wordToPhonemes() const;
    std::shared_ptr<const PhonemeLexicon> caseSensitiveWordToPhonemes() const;

private:
    bool loadLocked(const std::filesystem::path& file, const PhonemeSet& allowed);
    bool failLoad(const std::string& description);

    mutable std::mutex lock_;
    std::shared_ptr<const PhonemeLexicon> wordToPhonemes_ = std::make_shared<const PhonemeLexicon>();
    std::shared_ptr<const PhonemeLexicon> caseSensitiveWordToPhonemes_ = std::make_shared<const PhonemeLexicon>();
    bool isLoaded_ = false;
};

// The process-wide lexicon cache, made on first use.
LexiconCache& lexiconCache();

}  // namespace rarivoredu::KokoroSynthesizer
