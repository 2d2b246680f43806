#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>

#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/tts/PhonemeLexicon.h"

namespace rarivoredu {

// The map from phoneme symbols to the token ids of the model's input, read from
// "vocab_index.json": an object whose member "vocab" maps each symbol to its id. Its place is
// <synthesis cache>/Models/kokoro/vocab_index.json, fetched from the model hub when missing.
// Loads and reads are serialised.
class KokoroVocabulary {
public:
    using Map = std::unordered_map<std::string, std::int32_t, PhonemeStringHash, std::equal_to<>>;

    static constexpr const char* fileName = "vocab_index.json";

    // The process-wide vocabulary, made on first use.
    static KokoroVocabulary& shared();

    KokoroVocabulary();

    // The map, loaded first when no load has succeeded yet.
    Map getVocabulary();
    // Reads the file in the synthesis cache, downloading it first when it is missing, and replaces
    // the map. Throws as the file variant below, and TTSError.downloadFailed "Failed to obtain
    // Kokoro vocabulary: …" when the download fails; errors of the cache folder as they come.
    void loadVocabulary();
    // Fetches the file into <cacheDirectory>/Models/kokoro unless it is there. Throws as above.
    void downloadVocabulary(const std::filesystem::path& cacheDirectory);

    // Reads the file and replaces the map, also when one is loaded. Throws
    // TTSError.processingFailed when the file cannot be read, is not a JSON object, lacks the
    // "vocab" object, or holds an id outside 32 signed bits; a failed load changes nothing.
    void loadVocabulary(const std::filesystem::path& file);

    bool isLoaded() const;
    Map vocabulary() const;

private:
    void loadFromCacheLocked();
    void downloadLocked(const std::filesystem::path& cacheDirectory);
    void loadLocked(const std::filesystem::path& file);

    AppLogger logger_;
    mutable std::mutex lock_;
    Map vocabulary_;
    bool isLoaded_ = false;
};

}  // namespace rarivoredu
