#pragma once

#include <mutex>

#include "RarivOredu/shared/AppLogger.h"

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

private:
    AppLogger logger_;
    std::mutex lock_;
};

}  // namespace rarivoredu
