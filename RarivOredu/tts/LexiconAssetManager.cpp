#include "RarivOredu/tts/LexiconAssetManager.h"

#include <exception>
#include <string>

#include "Platform/system/FileManager.h"
#include "RarivOredu/shared/RepoLock.h"
#include "RarivOredu/tts/KokoroVocabulary.h"
#include "RarivOredu/tts/LexiconCache.h"
#include "RarivOredu/tts/TtsModels.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "RarivOredu/tts/misaki/MisakiLexiconImport.h"

namespace rarivoredu {

namespace {

PhonemeSet vocabularySymbols() {
    PhonemeSet allowed;
    for (const auto& [symbol, id] : KokoroVocabulary::shared().getVocabulary()) allowed.insert(symbol);
    return allowed;
}

// Makes the lexicon file from misaki's word lists unless it is there; false when there is no
// source to make it from.
bool importFromWordLists() {
    const std::filesystem::path directory = TtsModels::kokoroDirectory();
    const std::filesystem::path local = directory / KokoroSynthesizer::LexiconCache::fileName;
    // Not while a model import replaces the folder the file and the downloads go into.
    const RepoLock lock(directory);
    if (platform::FileManager::fileExists(local)) return true;
    if (!MisakiLexiconImport::sourceURL()) return false;
    return MisakiLexiconImport::importFromSource(local, vocabularySymbols());
}

}  // namespace

void LexiconAssetManager::importWordLists(const std::filesystem::path& gold, const std::filesystem::path& silver,
                                          const std::optional<MisakiLexiconImport::Digests>& digests) {
    const std::filesystem::path directory = TtsModels::kokoroDirectory();
    const PhonemeSet allowed = vocabularySymbols();
    const RepoLock lock(directory);
    MisakiLexiconImport::importFiles(gold, silver, directory / KokoroSynthesizer::LexiconCache::fileName, allowed,
                                     digests);
}

LexiconAssetManager::LexiconAssetManager() : logger_("com.rarivoredu.tts", "LexiconAssetManager") {}

void LexiconAssetManager::ensureLexiconCache() noexcept {
    const std::lock_guard<std::mutex> guard(lock_);
    try {
        if (importFromWordLists()) return;
    } catch (const std::exception& error) {
        // A hub serving our own lexicon file may still have it.
        logger_.warning(std::string("Failed to make the lexicon from misaki's word lists: ") + error.what());
    }
    try {
        TtsResourceDownloader::downloadFile(KokoroSynthesizer::LexiconCache::fileName);
    } catch (const std::exception& error) {
        logger_.warning(std::string("Failed to download lexicon cache: ") + error.what());
    } catch (...) {
        logger_.warning("Failed to download lexicon cache: unknown error");
    }
}

}  // namespace rarivoredu
