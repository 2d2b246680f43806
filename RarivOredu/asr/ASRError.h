#pragma once

#include <exception>
#include <string>

namespace rarivoredu {

// Errors of the batch recogniser; what() is the description.
class ASRError : public std::exception {
public:
    enum class Kind { processingFailed, notInitialized, invalidAudioData, modelLoadFailed, modelCompilationFailed };

    static ASRError processingFailed(std::string message) { return ASRError(Kind::processingFailed, std::move(message)); }
    static ASRError notInitialized() { return ASRError(Kind::notInitialized); }
    static ASRError invalidAudioData() { return ASRError(Kind::invalidAudioData); }
    static ASRError modelLoadFailed() { return ASRError(Kind::modelLoadFailed); }
    static ASRError modelCompilationFailed() { return ASRError(Kind::modelCompilationFailed); }

    Kind kind() const noexcept { return kind_; }
    // The message of processingFailed; empty for the other cases.
    const std::string& message() const noexcept { return message_; }
    const std::string& errorDescription() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit ASRError(Kind kind, std::string message = {});

    Kind kind_;
    std::string message_;
    std::string description_;
};

}  // namespace rarivoredu
