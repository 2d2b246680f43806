#pragma once

#include <exception>
#include <string>

#include "RarivOredu/asr/AudioSource.h"

namespace rarivoredu {

// Errors of streaming recognition; what() is the description.
class StreamingAsrError : public std::exception {
public:
    enum class Kind {
        streamAlreadyExists,
        audioBufferProcessingFailed,
        audioConversionFailed,
        modelProcessingFailed,
        invalidConfiguration,
        modelsNotLoaded,
        bufferOverflow,
    };

    static StreamingAsrError streamAlreadyExists(AudioSource source);
    static StreamingAsrError audioBufferProcessingFailed(std::exception_ptr error);
    static StreamingAsrError audioConversionFailed(std::exception_ptr error);
    static StreamingAsrError modelProcessingFailed(std::exception_ptr error);
    static StreamingAsrError invalidConfiguration(std::string message);
    static StreamingAsrError modelsNotLoaded();
    static StreamingAsrError bufferOverflow();

    Kind kind() const noexcept { return kind_; }
    // The source of streamAlreadyExists (microphone for the other cases).
    AudioSource source() const noexcept { return source_; }
    // The error carried by the three failure cases; empty for the others.
    const std::exception_ptr& underlyingError() const noexcept { return underlying_; }
    // The message of invalidConfiguration; empty for the other cases.
    const std::string& message() const noexcept { return message_; }
    const std::string& errorDescription() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

    // The description of any error: what() of a standard exception, else "Unknown error".
    static std::string describe(const std::exception_ptr& error);

private:
    StreamingAsrError(Kind kind, AudioSource source, std::exception_ptr underlying, std::string message);

    Kind kind_;
    AudioSource source_;
    std::exception_ptr underlying_;
    std::string message_;
    std::string description_;
};

}  // namespace rarivoredu
