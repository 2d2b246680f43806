#pragma once

#include <exception>
#include <optional>
#include <string>

#include "Platform/system/NSError.h"

namespace rarivoredu {

// Errors of AudioConverter; what() is the description.
class AudioConverterError : public std::exception {
public:
    enum class Kind {
        conversionFailed,
        failedToCreateConverter,
        failedToCreateBuffer,
    };

    static AudioConverterError conversionFailed(std::optional<platform::NSError> underlying) {
        return AudioConverterError(Kind::conversionFailed, std::move(underlying));
    }
    static AudioConverterError failedToCreateConverter() { return AudioConverterError(Kind::failedToCreateConverter); }
    static AudioConverterError failedToCreateBuffer() { return AudioConverterError(Kind::failedToCreateBuffer); }

    Kind kind() const noexcept { return kind_; }
    // The error behind conversionFailed, when there was one.
    const std::optional<platform::NSError>& underlyingError() const noexcept { return underlying_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    explicit AudioConverterError(Kind kind, std::optional<platform::NSError> underlying = std::nullopt);

    Kind kind_;
    std::optional<platform::NSError> underlying_;
    std::string description_;
};

}  // namespace rarivoredu
