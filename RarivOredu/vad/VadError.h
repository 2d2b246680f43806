#pragma once

#include <exception>
#include <string>

namespace rarivoredu {

// Errors of voice activity detection; what() is the description.
class VadError : public std::exception {
public:
    enum class Kind { modelProcessingFailed, notInitialized, modelLoadingFailed, invalidConfiguration };

    static VadError modelProcessingFailed(std::string message) {
        return VadError(Kind::modelProcessingFailed, std::move(message));
    }
    static VadError notInitialized() { return VadError(Kind::notInitialized); }
    static VadError modelLoadingFailed() { return VadError(Kind::modelLoadingFailed); }
    // A segmentation configuration or call argument outside its limits; raised before any work.
    static VadError invalidConfiguration(std::string message) {
        return VadError(Kind::invalidConfiguration, std::move(message));
    }

    Kind kind() const noexcept { return kind_; }
    // The message of modelProcessingFailed and invalidConfiguration; empty for the others.
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit VadError(Kind kind, std::string message = {});

    Kind kind_;
    std::string message_;
    std::string description_;
};

}  // namespace rarivoredu
