#include "RarivOredu/asr/ASRError.h"

namespace rarivoredu {
namespace {

std::string describe(ASRError::Kind kind, const std::string& message) {
    using Kind = ASRError::Kind;
    switch (kind) {
        case Kind::processingFailed: return "ASR processing failed: " + message;
        case Kind::notInitialized: return "AsrManager not initialized. Call initialize() first.";
        case Kind::invalidAudioData: return "Invalid audio data provided. Must be at least 1 second of 16kHz audio.";
        case Kind::modelLoadFailed: return "Failed to load Parakeet TorchScript models.";
        case Kind::modelCompilationFailed: return "TorchScript model compilation failed after recovery attempts.";
    }
    return {};
}

}  // namespace

ASRError::ASRError(Kind kind, std::string message)
    : kind_(kind), message_(std::move(message)), description_(describe(kind_, message_)) {}

}  // namespace rarivoredu
