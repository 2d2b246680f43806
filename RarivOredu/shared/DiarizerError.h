#pragma once

#include <exception>
#include <string>

namespace rarivoredu {

// Errors of the diarization engine; what() is the description.
class DiarizerError : public std::exception {
public:
    enum class Kind {
        notInitialized,
        modelDownloadFailed,
        modelCompilationFailed,
        embeddingExtractionFailed,
        invalidAudioData,
        memoryAllocationFailed,
        invalidArrayBounds,
        processingFailed,
        invalidConfiguration,
    };

    static DiarizerError notInitialized() { return DiarizerError(Kind::notInitialized); }
    static DiarizerError modelDownloadFailed() { return DiarizerError(Kind::modelDownloadFailed); }
    static DiarizerError modelCompilationFailed() { return DiarizerError(Kind::modelCompilationFailed); }
    static DiarizerError embeddingExtractionFailed() { return DiarizerError(Kind::embeddingExtractionFailed); }
    static DiarizerError invalidAudioData() { return DiarizerError(Kind::invalidAudioData); }
    static DiarizerError memoryAllocationFailed() { return DiarizerError(Kind::memoryAllocationFailed); }
    static DiarizerError invalidArrayBounds() { return DiarizerError(Kind::invalidArrayBounds); }
    static DiarizerError processingFailed(std::string message) {
        return DiarizerError(Kind::processingFailed, std::move(message));
    }
    // A configuration or call argument the pipeline cannot work with; raised before any work.
    static DiarizerError invalidConfiguration(std::string message) {
        return DiarizerError(Kind::invalidConfiguration, std::move(message));
    }

    Kind kind() const noexcept { return kind_; }
    // The message carried by processingFailed and invalidConfiguration; empty for the others.
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit DiarizerError(Kind kind, std::string message = {});

    Kind kind_;
    std::string message_;
    std::string description_;
};

}  // namespace rarivoredu
