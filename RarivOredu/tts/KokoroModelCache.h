#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/TtsModels.h"

namespace rarivoredu {

// The loaded synthesis models by variant, with each variant's token capacity and the length of the
// voice style input. Variants are loaded on demand (downloaded when this cache never had them) or
// handed over ready. Several managers may share one cache; every function may be called from any
// thread. Loads run one at a time, so a variant is never fetched twice at once; a model already
// loaded is answered without waiting for a load of another.
class KokoroModelCache {
public:
    using Variant = ModelNames::TTS::Variant;

    KokoroModelCache();
    KokoroModelCache(const KokoroModelCache&) = delete;
    KokoroModelCache& operator=(const KokoroModelCache&) = delete;

    // Makes the variants ready, both when none are named. Throws what TtsModels::download throws,
    // and TTSError.modelNotFound with a variant's file name when it could not be obtained.
    void loadModels(const std::optional<std::set<Variant>>& variants = std::nullopt);
    // The model of a variant, loaded first when needed.
    platform::MLModelPtr model(Variant variant);
    // The token capacity of a variant, loaded first when needed.
    int tokenLength(Variant variant);
    // The length of the "ref_s" input, measured once; loads the 15 s variant when no model is
    // loaded. Throws TTSError.modelNotFound "Kokoro reference embedding model not available".
    int referenceEmbeddingDimension();
    // Takes models a caller holds as they are; nothing is downloaded or logged.
    void registerPreloadedModels(const TtsModels& models);

private:
    // The model the style length is read from: the 15 s one if loaded, else any. Under lock_.
    platform::MLModelPtr referenceModelLocked() const;

    AppLogger logger_;
    std::mutex loadLock_;  // held for a whole load
    mutable std::mutex lock_;
    std::map<Variant, platform::MLModelPtr> kokoroModels_;
    std::map<Variant, int> tokenLengthCache_;
    std::map<Variant, platform::MLModelPtr> downloadedModels_;
    std::optional<int> referenceDimension_;
};

}  // namespace rarivoredu
