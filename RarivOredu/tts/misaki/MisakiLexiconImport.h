#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "RarivOredu/tts/PhonemeLexicon.h"

namespace rarivoredu {

// Where a user's pronunciation lexicon comes from: the US English word lists of misaki, Kokoro's
// own grapheme-to-phoneme project (Apache-2.0, © hexgrad), at a pinned commit of its repository.
// Both files are checked against their pinned SHA-256 before they are read, converted
// (MisakiLexicon) to the symbols of the model's vocabulary, and the lexicon file is written by an
// atomic replace: a failed import leaves what was there.
//
// The address is $RARIVOREDU_LEXICON_URL (a folder holding both files) when that is set, else the
// pinned one; when a hub of our own files is configured ($RARIVOREDU_HUB_URL) and no lexicon
// address is, there is no source and that hub's lexicon file serves.
//
// Errors: a transfer's NSError passes through; a file of another digest is refused with CocoaError
// fileReadCorruptFile, and so is a word list that is not one (MisakiLexicon); errors of the
// file system as NSError.
class MisakiLexiconImport {
public:
    MisakiLexiconImport() = delete;

    static constexpr const char* pinnedCommit = "fba1236595f2d2bf21d414ba6e57d25256afada3";
    static constexpr const char* pinnedBaseURL =
        "https://raw.githubusercontent.com/hexgrad/misaki/fba1236595f2d2bf21d414ba6e57d25256afada3/misaki/data";
    static constexpr const char* goldFile = "us_gold.json";
    static constexpr const char* silverFile = "us_silver.json";

    struct Digests {
        std::string gold;
        std::string silver;
        // The SHA-256 of both files at the pinned commit.
        static Digests pinned();
    };

    // The folder the download fetches both files from; nothing when the configured hub serves
    // the lexicon.
    static std::optional<std::string> sourceURL();
    // Fetches and imports from sourceURL() with the pinned digests; false, having changed
    // nothing, when there is no source.
    static bool importFromSource(const std::filesystem::path& destination, const PhonemeSet& allowed);
    // Fetches <baseURL>/us_gold.json and <baseURL>/us_silver.json, refuses either when its digest
    // differs, and writes the lexicon file `destination`.
    static void importFromURL(const std::string& baseURL, const Digests& digests,
                              const std::filesystem::path& destination, const PhonemeSet& allowed);
    // The same from the two files a user has; `digests` nothing accepts any files in misaki's form.
    static void importFiles(const std::filesystem::path& gold, const std::filesystem::path& silver,
                            const std::filesystem::path& destination, const PhonemeSet& allowed,
                            const std::optional<Digests>& digests = Digests::pinned());
};

}  // namespace rarivoredu
