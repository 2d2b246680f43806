#include "RarivOredu/shared/DiarizerError.h"

namespace rarivoredu {
namespace {

std::string describe(DiarizerError::Kind kind, const std::string& message) {
    using Kind = DiarizerError::Kind;
    switch (kind) {
        case Kind::notInitialized: return "Diarization system not initialized. Call initialize() first.";
        case Kind::modelDownloadFailed: return "Failed to download required models.";
        case Kind::modelCompilationFailed: return "Failed to compile TorchScript models.";
        case Kind::embeddingExtractionFailed: return "Failed to extract speaker embedding from audio.";
        case Kind::invalidAudioData: return "Invalid audio data provided.";
        case Kind::memoryAllocationFailed: return "Failed to allocate ANE-aligned memory.";
        case Kind::invalidArrayBounds: return "Array bounds exceeded for zero-copy view.";
        case Kind::processingFailed: return "Processing failed: " + message;
        case Kind::invalidConfiguration: return "Invalid configuration: " + message;
    }
    return {};
}

}  // namespace

DiarizerError::DiarizerError(Kind kind, std::string message)
    : kind_(kind), message_(std::move(message)), description_(describe(kind_, message_)) {}

}  // namespace rarivoredu
