#include "RarivOredu/tts/LexiconAssetManager.h"

#include <exception>
#include <string>

#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"

namespace rarivoredu {

LexiconAssetManager::LexiconAssetManager() : logger_("com.rarivoredu.tts", "LexiconAssetManager") {}

void LexiconAssetManager::ensureLexiconCache() noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    try {
        TtsResourceDownloader::downloadFile(KokoroSynthesizer::LexiconCache::fileName);
    } catch (const std::exception& error) {
        logger_.warning(std::string("Failed to download lexicon cache: ") + error.what());
    } catch (...) {
        logger_.warning("Failed to download lexicon cache: unknown error");
    }
}

}  // namespace rarivoredu
