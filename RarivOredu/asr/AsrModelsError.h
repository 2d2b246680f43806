#pragma once

#include <exception>
#include <filesystem>
#include <string>

namespace rarivoredu {

// Errors of the TDT model set; what() is the description.
class AsrModelsError : public std::exception {
public:
    enum class Kind { modelNotFound, downloadFailed, loadingFailed, modelCompilationFailed };

    static AsrModelsError modelNotFound(std::string name, std::filesystem::path path) {
        return AsrModelsError(Kind::modelNotFound, std::move(name), std::move(path));
    }
    static AsrModelsError downloadFailed(std::string message) {
        return AsrModelsError(Kind::downloadFailed, std::move(message));
    }
    static AsrModelsError loadingFailed(std::string message) {
        return AsrModelsError(Kind::loadingFailed, std::move(message));
    }
    static AsrModelsError modelCompilationFailed(std::string message) {
        return AsrModelsError(Kind::modelCompilationFailed, std::move(message));
    }

    Kind kind() const noexcept { return kind_; }
    // The model's name for modelNotFound, the message for the other cases.
    const std::string& message() const noexcept { return message_; }
    // The path of modelNotFound; empty for the other cases.
    const std::filesystem::path& path() const noexcept { return path_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    AsrModelsError(Kind kind, std::string message, std::filesystem::path path = {});

    Kind kind_;
    std::string message_;
    std::filesystem::path path_;
    std::string description_;
};

}  // namespace rarivoredu
