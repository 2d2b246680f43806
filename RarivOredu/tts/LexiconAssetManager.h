#pragma once

#include <filesystem>
#include <mutex>
#include <optional>

#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/tts/misaki/MisakiLexiconImport.h"

namespace rarivoredu {

// Makes the pronunciation lexicon file present in the synthesis cache before synthesis, without
// ever failing its caller: a failed download is logged, and loading the lexicon reports the
// missing file. Calls run one at a time.
//
// The file is made from misaki's word lists (MisakiLexiconImport) where that has a source; a hub
// serving our own lexicon file (the configured one, or the fallback when the import fails) gives
// it otherwise.
class LexiconAssetManager {
public:
    LexiconAssetManager();
    LexiconAssetManager(const LexiconAssetManager&) = delete;
    LexiconAssetManager& operator=(const LexiconAssetManager&) = delete;

    void ensureLexiconCache() noexcept;

    // Offline: makes the lexicon file of the synthesis cache from copies of misaki's two word
    // lists (of the pinned digests unless told otherwise), for the model's vocabulary, replacing
    // the file there. Throws as MisakiLexiconImport::importFiles, and the vocabulary's errors.
    static void importWordLists(const std::filesystem::path& gold, const std::filesystem::path& silver,
                                const std::optional<MisakiLexiconImport::Digests>& digests =
                                    MisakiLexiconImport::Digests::pinned());

private:
    AppLogger logger_;
    std::mutex lock_;
};

}  // namespace rarivoredu
