#include "RarivOredu/tts/KokoroModelCache.h"

#include <algorithm>
#include <string>
#include <vector>

#include "RarivOredu/tts/KokoroModelProbes.h"
#include "RarivOredu/tts/TTSError.h"

namespace rarivoredu {

KokoroModelCache::KokoroModelCache() : logger_("com.rarivoredu.tts", "KokoroModelCache") {}

platform::MLModelPtr KokoroModelCache::referenceModelLocked() const {
    if (const auto found = kokoroModels_.find(Variant::fifteenSecond); found != kokoroModels_.end()) return found->second;
    return kokoroModels_.empty() ? nullptr : kokoroModels_.begin()->second;
}

void KokoroModelCache::loadModels(const std::optional<std::set<Variant>>& variants) {
    const std::set<Variant> requested = variants && !variants->empty()
                                            ? *variants
                                            : std::set<Variant>(ModelNames::TTS::allVariants.begin(),
                                                                ModelNames::TTS::allVariants.end());
    const std::lock_guard<std::mutex> loading(loadLock_);
    std::set<Variant> missing;
    std::set<Variant> fetch;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        for (const Variant variant : requested) {
            if (kokoroModels_.count(variant) != 0) continue;
            missing.insert(variant);
            if (downloadedModels_.count(variant) == 0) fetch.insert(variant);
        }
    }
    if (missing.empty()) return;
    if (!fetch.empty()) {
        const TtsModels fetched = TtsModels::download(fetch);
        const std::lock_guard<std::mutex> guard(lock_);
        for (const auto& [variant, model] : fetched.kokoroModels) downloadedModels_[variant] = model;
    }

    const std::lock_guard<std::mutex> guard(lock_);
    for (const Variant variant : missing) {
        const auto downloaded = downloadedModels_.find(variant);
        if (downloaded == downloadedModels_.end()) throw TTSError::modelNotFound(ModelNames::TTS::fileName(variant));
        kokoroModels_[variant] = downloaded->second;
        tokenLengthCache_[variant] = KokoroSynthesizer::inputIdsCapacity(*downloaded->second);
        logger_.info(std::string("Loaded Kokoro ") + TtsModels::label(variant) + " model from cache");
    }
    if (!referenceDimension_) {
        if (const auto model = referenceModelLocked()) referenceDimension_ = KokoroSynthesizer::refSDimension(*model);
    }
    std::vector<std::string> labels;
    for (const auto& [variant, model] : kokoroModels_) labels.emplace_back(TtsModels::label(variant));
    std::sort(labels.begin(), labels.end());
    std::string list;
    for (const auto& label : labels) list += (list.empty() ? "" : ", ") + label;
    logger_.info("Kokoro models ready: [" + list + "]");
}

platform::MLModelPtr KokoroModelCache::model(Variant variant) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (const auto found = kokoroModels_.find(variant); found != kokoroModels_.end()) return found->second;
    }
    loadModels(std::set<Variant>{variant});
    const std::lock_guard<std::mutex> guard(lock_);
    const auto found = kokoroModels_.find(variant);
    if (found == kokoroModels_.end()) throw TTSError::modelNotFound(ModelNames::TTS::fileName(variant));
    return found->second;
}

int KokoroModelCache::tokenLength(Variant variant) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (const auto found = tokenLengthCache_.find(variant); found != tokenLengthCache_.end()) return found->second;
    }
    const int length = KokoroSynthesizer::inputIdsCapacity(*model(variant));
    const std::lock_guard<std::mutex> guard(lock_);
    tokenLengthCache_[variant] = length;
    return length;
}

int KokoroModelCache::referenceEmbeddingDimension() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (referenceDimension_) return *referenceDimension_;
        if (const auto model = referenceModelLocked()) {
            referenceDimension_ = KokoroSynthesizer::refSDimension(*model);
            return *referenceDimension_;
        }
    }
    loadModels(std::set<Variant>{Variant::fifteenSecond});
    const std::lock_guard<std::mutex> guard(lock_);
    if (referenceDimension_) return *referenceDimension_;
    const auto model = referenceModelLocked();
    if (!model) throw TTSError::modelNotFound("Kokoro reference embedding model not available");
    referenceDimension_ = KokoroSynthesizer::refSDimension(*model);
    return *referenceDimension_;
}

void KokoroModelCache::registerPreloadedModels(const TtsModels& models) {
    const std::lock_guard<std::mutex> guard(lock_);
    for (const auto& [variant, model] : models.kokoroModels) {
        if (!model) continue;
        downloadedModels_[variant] = model;
        kokoroModels_[variant] = model;
        tokenLengthCache_[variant] = KokoroSynthesizer::inputIdsCapacity(*model);
    }
    if (referenceDimension_) return;
    platform::MLModelPtr model = models.model(Variant::fifteenSecond);
    if (!model) model = referenceModelLocked();
    if (model) referenceDimension_ = KokoroSynthesizer::refSDimension(*model);
}

}  // namespace rarivoredu
