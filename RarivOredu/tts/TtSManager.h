#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"
#include "RarivOredu/tts/SynthesisResult.h"
#include "RarivOredu/tts/TtsModels.h"

namespace rarivoredu {

class KokoroModelCache;
class LexiconAssetManager;

// Text to speech for users of the library: initialise once (downloading the models, or with
// models at hand), then turn text into WAV bytes, a detailed result or a WAV file, in a chosen
// voice. Every function blocks; one manager may be used from several threads, each call working
// on its own request.
//
// Voices are named by ids of ASCII letters, digits, "_" and "-"; a blank voice means the default
// one. Speeds are clamped to TtsConstants' speed range; a non-finite speed is refused.
class TtSManager {
public:
    using Variant = ModelNames::TTS::Variant;

    explicit TtSManager(std::string_view defaultVoice = "af_heart", std::int64_t defaultSpeakerId = 0,
                        std::shared_ptr<KokoroModelCache> modelCache = nullptr);
    ~TtSManager();
    TtSManager(const TtSManager&) = delete;
    TtSManager& operator=(const TtSManager&) = delete;

    // The voice id trimmed of white space; "af_heart" when nothing is left.
    static std::string normalizedVoice(std::string_view voice);

    bool isInitialized() const;
    // Downloads and warms up both model variants, then as initializeWithModels.
    void initialize(const std::optional<std::set<std::string>>& preloadVoices = std::nullopt);
    // Registers the models, fetches the lexicon file and the default and preloaded voices, loads
    // the vocabulary and the lexicon. The first failure is thrown; what was done before it stays.
    void initializeWithModels(const TtsModels& models,
                              const std::optional<std::set<std::string>>& preloadVoices = std::nullopt);

    std::vector<std::uint8_t> synthesize(const std::string& text, const std::optional<std::string>& voice = std::nullopt,
                                         std::int64_t speakerId = 0, float speed = 1.0f,
                                         std::optional<Variant> variantPreference = std::nullopt);
    KokoroSynthesizer::SynthesisResult synthesizeDetailed(const std::string& text,
                                                          const std::optional<std::string>& voice = std::nullopt,
                                                          std::int64_t speakerId = 0, float speed = 1.0f,
                                                          std::optional<Variant> variantPreference = std::nullopt);
    // Synthesises, then replaces the file atomically: when anything fails the file is as it was.
    void synthesizeToFile(const std::string& text, const std::filesystem::path& destination,
                          const std::optional<std::string>& voice = std::nullopt, std::int64_t speakerId = 0,
                          float speed = 1.0f, std::optional<Variant> variantPreference = std::nullopt);

    // Fetches the voice when needed, then makes it the default for the speaker id.
    void setDefaultVoice(const std::string& voice, std::int64_t speakerId = 0);
    std::string defaultVoice() const;
    // Back to the state before initialisation; the model cache and the default voice stay.
    void cleanup();

    // The voice a call speaks with: the explicit voice when not blank; the default voice for the
    // default speaker id; else the speaker id's entry of TtsConstants::availableVoices (|id| mod 54).
    std::string resolveVoice(const std::optional<std::string>& voice, std::int64_t speakerId) const;

private:
    void ensureVoice(const std::string& voice);
    void ensureLexiconAssets();

    AppLogger logger_;
    std::shared_ptr<KokoroModelCache> modelCache_;
    std::shared_ptr<LexiconAssetManager> lexiconAssets_;

    mutable std::mutex lock_;  // guards the bookkeeping below, never held across work
    std::optional<TtsModels> ttsModels_;
    bool isInitialized_ = false;
    bool assetsReady_ = false;
    std::string defaultVoice_;
    std::int64_t defaultSpeakerId_ = 0;
    std::set<std::string> ensuredVoices_;
};

}  // namespace rarivoredu
