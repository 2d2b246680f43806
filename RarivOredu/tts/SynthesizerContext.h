#pragma once

#include <memory>
#include <optional>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu {

class KokoroModelCache;
class LexiconAssetManager;

namespace KokoroSynthesizer {

// The resources that serve one synthesis request, handed down the call: the model cache and the
// lexicon file's keeper. TtSManager fills both; a caller of the synthesizer builds its own with
// withModelCache() and withLexiconAssets().
struct SynthesizerContext {
    std::shared_ptr<KokoroModelCache> modelCache;
    std::shared_ptr<LexiconAssetManager> lexiconAssets;

    SynthesizerContext withModelCache(std::shared_ptr<KokoroModelCache> cache) const;
    SynthesizerContext withLexiconAssets(std::shared_ptr<LexiconAssetManager> assets) const;

    // The model cache; throws TTSError.processingFailed "KokoroSynthesizer requires a model cache
    // context. Use TtSManager or withModelCache(_:operation:)." without one.
    KokoroModelCache& requireModelCache() const;
    // Makes the lexicon file present; throws TTSError.processingFailed "KokoroSynthesizer requires
    // lexicon assets context. Use TtSManager or withLexiconAssets(_:operation:)." without a keeper.
    void ensureLexiconAssets() const;
    // Loads the preferred variant, or both without a preference.
    void ensureModelsLoaded(std::optional<ModelNames::TTS::Variant> preference) const;
    platform::MLModelPtr modelForVariant(ModelNames::TTS::Variant variant) const;
};

}  // namespace KokoroSynthesizer
}  // namespace rarivoredu
