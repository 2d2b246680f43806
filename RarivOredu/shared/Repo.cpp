#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

std::optional<Repo> Repo::fromRawValue(std::string_view rawValue) noexcept {
    for (Value value : allCases) {
        if (Repo(value).rawValue() == rawValue) return Repo(value);
    }
    return std::nullopt;
}

std::string_view Repo::rawValue() const noexcept {
    switch (value_) {
        case vad: return "ViridErevidaro/silero-vad-coreml";
        case parakeet: return "ViridErevidaro/parakeet-tdt-0.6b-v3-coreml";
        case parakeetV2: return "ViridErevidaro/parakeet-tdt-0.6b-v2-coreml";
        case diarizer: return "ViridErevidaro/speaker-diarization-coreml";
        case kokoro: return "ViridErevidaro/kokoro-82m-coreml";
    }
    return {};
}

std::string_view Repo::name() const noexcept {
    const std::string_view raw = rawValue();
    return raw.substr(raw.find('/') + 1);
}

std::string_view Repo::remotePath() const noexcept { return rawValue(); }

std::string_view Repo::folderName() const noexcept { return value_ == kokoro ? "kokoro" : name(); }

}  // namespace rarivoredu
