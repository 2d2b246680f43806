#pragma once

#include <exception>
#include <string>

namespace rarivoredu {

// Errors of speech synthesis; what() is the description.
class TTSError : public std::exception {
public:
    enum class Kind { downloadFailed, corruptedModel, modelNotFound, processingFailed };

    static TTSError downloadFailed(std::string message) { return TTSError(Kind::downloadFailed, std::move(message)); }
    static TTSError corruptedModel(std::string name) { return TTSError(Kind::corruptedModel, std::move(name)); }
    static TTSError modelNotFound(std::string name) { return TTSError(Kind::modelNotFound, std::move(name)); }
    static TTSError processingFailed(std::string message) {
        return TTSError(Kind::processingFailed, std::move(message));
    }

    Kind kind() const noexcept { return kind_; }
    // The text the case carries: a message or a model name.
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    TTSError(Kind kind, std::string message);

    Kind kind_;
    std::string message_;
    std::string description_;
};

}  // namespace rarivoredu
