#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "Platform/ml/MLModel.h"
#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu {

// A set of loaded synthesis models by variant, and where they come from: the model hub, through
// the synthesis cache $XDG_CACHE_HOME/rarivoredu (default ~/.cache/rarivoredu), whose "Models/kokoro"
// folder holds the models, the vocabulary, the lexicon and the voices.
struct TtsModels {
    using Variant = ModelNames::TTS::Variant;

    std::map<Variant, platform::MLModelPtr> kokoroModels;

    // The root of the synthesis cache, created when missing. Throws the file system's NSError.
    static std::filesystem::path cacheDirectory();
    // The folder of the Kokoro repository below the cache: <cache>/Models/kokoro.
    static std::filesystem::path kokoroDirectory();
    static std::filesystem::path kokoroDirectory(const std::filesystem::path& cacheDirectory);

    // Downloads (when missing) and loads the variants, all of them when none are named, then runs
    // one prediction on each. Throws what the download or the load throws, and
    // TTSError.modelNotFound with the file name when a variant did not load.
    static TtsModels download(const std::optional<std::set<Variant>>& variants = std::nullopt);
    // One warm-up per model, all at once; logs the time each took, in the order of `order`.
    static void warmUpAll(const std::map<Variant, platform::MLModelPtr>& models, const std::vector<Variant>& order);
    // One prediction on inputs of the sizes the model declares. A failure is logged as a warning.
    static void warmUp(const platform::MLModel& model, Variant variant) noexcept;

    // The model of a variant, or null.
    platform::MLModelPtr model(Variant variant) const;
    std::set<Variant> availableVariants() const;

    // "5s" or "15s", as the log texts write a variant.
    static const char* label(Variant variant) noexcept;
    static const AppLogger& logger();
};

}  // namespace rarivoredu
