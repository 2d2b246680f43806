#include "RarivOredu/shared/ModelNames.h"

namespace rarivoredu {

const std::set<std::string>& ModelNames::ASR::requiredModels() {
    static const std::set<std::string> names{preprocessorFile, encoderFile, decoderFile, jointFile};
    return names;
}

const std::set<std::string>& ModelNames::Diarizer::requiredModels() {
    static const std::set<std::string> names{segmentationFile, embeddingFile};
    return names;
}

const std::set<std::string>& ModelNames::VAD::requiredModels() {
    static const std::set<std::string> names{sileroVadFile};
    return names;
}

const char* ModelNames::TTS::fileName(Variant variant) noexcept {
    return variant == Variant::fiveSecond ? "kokoro_21_5s.mlmodelc" : "kokoro_21_15s.mlmodelc";
}

int ModelNames::TTS::maxDurationSeconds(Variant variant) noexcept { return variant == Variant::fiveSecond ? 5 : 15; }

std::set<std::string> ModelNames::TTS::requiredModels() {
    std::set<std::string> names;
    for (Variant variant : allVariants) names.insert(fileName(variant));
    return names;
}

std::set<std::string> ModelNames::requiredModels(Repo repo) {
    switch (repo) {
        case Repo::vad: return VAD::requiredModels();
        case Repo::parakeet:
        case Repo::parakeetV2: return ASR::requiredModels();
        case Repo::diarizer: return Diarizer::requiredModels();
        case Repo::kokoro: return TTS::requiredModels();
    }
    return {};
}

}  // namespace rarivoredu
