#pragma once

#include <array>
#include <set>
#include <string>

#include "RarivOredu/shared/Repo.h"

namespace rarivoredu {

// The compiled model file names of each engine, and the set each engine requires.
// A model file name is the name of a compiled model folder, ending in ".mlmodelc".
struct ModelNames {
    struct ASR {
        static constexpr const char* preprocessor = "Preprocessor";
        static constexpr const char* encoder = "Encoder";
        static constexpr const char* decoder = "Decoder";
        static constexpr const char* joint = "JointDecision";
        static constexpr const char* preprocessorFile = "Preprocessor.mlmodelc";
        static constexpr const char* encoderFile = "Encoder.mlmodelc";
        static constexpr const char* decoderFile = "Decoder.mlmodelc";
        static constexpr const char* jointFile = "JointDecision.mlmodelc";
        static constexpr const char* vocabulary = "parakeet_vocab.json";
        // The four model files; the vocabulary is not among them.
        static const std::set<std::string>& requiredModels();
    };

    struct Diarizer {
        static constexpr const char* segmentation = "pyannote_segmentation";
        static constexpr const char* embedding = "wespeaker_v2";
        static constexpr const char* segmentationFile = "pyannote_segmentation.mlmodelc";
        static constexpr const char* embeddingFile = "wespeaker_v2.mlmodelc";
        static const std::set<std::string>& requiredModels();
    };

    struct VAD {
        static constexpr const char* sileroVad = "silero-vad-unified-256ms-v6.0.0";
        static constexpr const char* sileroVadFile = "silero-vad-unified-256ms-v6.0.0.mlmodelc";
        static const std::set<std::string>& requiredModels();
    };

    struct TTS {
        enum class Variant { fiveSecond, fifteenSecond };
        static constexpr std::array<Variant, 2> allVariants{Variant::fiveSecond, Variant::fifteenSecond};
        static constexpr Variant defaultVariant = Variant::fifteenSecond;

        static const char* fileName(Variant variant) noexcept;  // "kokoro_21_5s.mlmodelc", …
        static int maxDurationSeconds(Variant variant) noexcept;  // 5 or 15
        static std::string defaultBundle() { return fileName(defaultVariant); }
        // The file names of both variants.
        static std::set<std::string> requiredModels();
    };

    // The set a repository requires: VAD for vad, ASR for both parakeet repositories,
    // Diarizer for diarizer, TTS for kokoro.
    static std::set<std::string> requiredModels(Repo repo);
};

}  // namespace rarivoredu
