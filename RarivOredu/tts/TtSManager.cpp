#include "RarivOredu/tts/TtSManager.h"

#include "Platform/system/AtomicFileWriter.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/KokoroModelCache.h"
#include "RarivOredu/tts/KokoroSynthesizer.h"
#include "RarivOredu/tts/LexiconAssetManager.h"
#include "RarivOredu/tts/SpeedChange.h"
#include "RarivOredu/tts/SynthesizerInput.h"
#include "RarivOredu/tts/SynthesizerResources.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsResourceDownloader.h"
#include "RarivOredu/tts/TtsTextPreprocessor.h"
#include "RarivOredu/tts/VoiceId.h"

namespace rarivoredu {

TtSManager::TtSManager(std::string_view defaultVoice, std::int64_t defaultSpeakerId,
                       std::shared_ptr<KokoroModelCache> modelCache)
    : logger_("TtSManager"),
      modelCache_(modelCache ? std::move(modelCache) : std::make_shared<KokoroModelCache>()),
      lexiconAssets_(std::make_shared<LexiconAssetManager>()),
      defaultVoice_(normalizedVoice(defaultVoice)),
      defaultSpeakerId_(defaultSpeakerId) {}

TtSManager::~TtSManager() = default;

std::string TtSManager::normalizedVoice(std::string_view voice) {
    std::string trimmed = platform::trimmingWhitespaceAndNewlines(voice);
    return trimmed.empty() ? std::string(TtsConstants::defaultVoice) : trimmed;
}

bool TtSManager::isInitialized() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return isInitialized_;
}

std::string TtSManager::defaultVoice() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return defaultVoice_;
}

void TtSManager::initialize(const std::optional<std::set<std::string>>& preloadVoices) {
    initializeWithModels(TtsModels::download(), preloadVoices);
}

void TtSManager::initializeWithModels(const TtsModels& models, const std::optional<std::set<std::string>>& preloadVoices) {
    std::set<std::string> voices = preloadVoices.value_or(std::set<std::string>{});
    {
        const std::lock_guard<std::mutex> guard(lock_);
        ttsModels_ = models;
        voices.insert(defaultVoice_);
    }
    modelCache_->registerPreloadedModels(models);
    ensureLexiconAssets();
    for (const auto& voice : voices) ensureVoice(normalizedVoice(voice));
    KokoroSynthesizer::loadLexiconAndVocabulary();
    modelCache_->loadModels(models.availableVariants());
    {
        const std::lock_guard<std::mutex> guard(lock_);
        isInitialized_ = true;
    }
    logger_.notice("TtSManager initialized with provided models");
}

std::vector<std::uint8_t> TtSManager::synthesize(const std::string& text, const std::optional<std::string>& voice,
                                                 std::int64_t speakerId, float speed,
                                                 std::optional<Variant> variantPreference) {
    return synthesizeDetailed(text, voice, speakerId, speed, variantPreference).audio;
}

KokoroSynthesizer::SynthesisResult TtSManager::synthesizeDetailed(const std::string& text,
                                                                  const std::optional<std::string>& voice,
                                                                  std::int64_t speakerId, float speed,
                                                                  std::optional<Variant> variantPreference) {
    if (!isInitialized()) throw TTSError::modelNotFound("Kokoro model not initialized");
    // Nothing reaches the network or the disk before the request is known to be sound.
    const std::string resolvedVoice = resolveVoice(voice, speakerId);
    VoiceId::require(resolvedVoice);
    const float requestSpeed = KokoroSynthesizer::checkedSpeed(speed);

    ensureLexiconAssets();
    TtsPreprocessingResult preprocessed = TtsTextPreprocessor::preprocess(text);
    const std::string sanitized = KokoroSynthesizer::sanitizeInput(preprocessed.text);
    const std::vector<TtsPhoneticOverride> overrides =
        KokoroSynthesizer::overridesAfterSanitizing(preprocessed.text, std::move(preprocessed.phoneticOverrides));
    ensureVoice(resolvedVoice);

    const KokoroSynthesizer::SynthesizerContext context =
        KokoroSynthesizer::SynthesizerContext{}.withLexiconAssets(lexiconAssets_).withModelCache(modelCache_);
    return KokoroSynthesizer::synthesizeDetailed(context, sanitized, resolvedVoice, variantPreference, overrides,
                                                 requestSpeed);
}

void TtSManager::synthesizeToFile(const std::string& text, const std::filesystem::path& destination,
                                  const std::optional<std::string>& voice, std::int64_t speakerId, float speed,
                                  std::optional<Variant> variantPreference) {
    const std::vector<std::uint8_t> audio = synthesize(text, voice, speakerId, speed, variantPreference);
    platform::AtomicFileWriter().replace(
        destination, std::string_view(reinterpret_cast<const char*>(audio.data()), audio.size()));
    logger_.notice("Saved synthesized audio to: " + destination.filename().string());
}

void TtSManager::setDefaultVoice(const std::string& voice, std::int64_t speakerId) {
    const std::string id = normalizedVoice(voice);
    ensureVoice(id);
    const std::lock_guard<std::mutex> guard(lock_);
    defaultVoice_ = id;
    defaultSpeakerId_ = speakerId;
}

void TtSManager::cleanup() {
    const std::lock_guard<std::mutex> guard(lock_);
    ttsModels_.reset();
    isInitialized_ = false;
    assetsReady_ = false;
    ensuredVoices_.clear();
}

std::string TtSManager::resolveVoice(const std::optional<std::string>& voice, std::int64_t speakerId) const {
    if (voice) {
        std::string trimmed = platform::trimmingWhitespaceAndNewlines(*voice);
        if (!trimmed.empty()) return trimmed;
    }
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (speakerId == defaultSpeakerId_) return defaultVoice_;
    }
    const auto& voices = TtsConstants::availableVoices();
    // The magnitude in unsigned arithmetic, so that the most negative id has one too.
    const std::uint64_t magnitude =
        speakerId < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(speakerId) : static_cast<std::uint64_t>(speakerId);
    return voices[static_cast<std::size_t>(magnitude % voices.size())];
}

void TtSManager::ensureVoice(const std::string& voice) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (ensuredVoices_.count(voice) != 0) return;
    }
    TtsResourceDownloader::ensureVoiceEmbedding(voice);
    const std::lock_guard<std::mutex> guard(lock_);
    ensuredVoices_.insert(voice);
}

void TtSManager::ensureLexiconAssets() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (assetsReady_) return;
    }
    lexiconAssets_->ensureLexiconCache();
    const std::lock_guard<std::mutex> guard(lock_);
    assetsReady_ = true;
}

}  // namespace rarivoredu
