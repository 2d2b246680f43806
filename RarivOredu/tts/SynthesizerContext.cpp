#include "RarivOredu/tts/SynthesizerContext.h"

#include <set>

#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/LexiconAssetManager.h"
#include "RarivOredu/tts/TTSError.h"

namespace rarivoredu::KokoroSynthesizer {

SynthesizerContext SynthesizerContext::withModelCache(std::shared_ptr<KokoroModelCache> cache) const {
    SynthesizerContext copy = *this;
    copy.modelCache = std::move(cache);
    return copy;
}

SynthesizerContext SynthesizerContext::withLexiconAssets(std::shared_ptr<LexiconAssetManager> assets) const {
    SynthesizerContext copy = *this;
    copy.lexiconAssets = std::move(assets);
    return copy;
}

KokoroModelCache& SynthesizerContext::requireModelCache() const {
    if (!modelCache) {
        throw TTSError::processingFailed(
            "KokoroSynthesizer requires a model cache context. Use TtSManager or withModelCache(_:operation:).");
    }
    return *modelCache;
}

void SynthesizerContext::ensureLexiconAssets() const {
    if (!lexiconAssets) {
        throw TTSError::processingFailed(
            "KokoroSynthesizer requires lexicon assets context. Use TtSManager or withLexiconAssets(_:operation:).");
    }
    lexiconAssets->ensureLexiconCache();
}

void SynthesizerContext::ensureModelsLoaded(std::optional<ModelNames::TTS::Variant> preference) const {
    KokoroModelCache& cache = requireModelCache();
    if (preference) {
        cache.loadModels(std::set<ModelNames::TTS::Variant>{*preference});
    } else {
        cache.loadModels();
    }
}

platform::MLModelPtr SynthesizerContext::modelForVariant(ModelNames::TTS::Variant variant) const {
    return requireModelCache().model(variant);
}

}  // namespace rarivoredu::KokoroSynthesizer
