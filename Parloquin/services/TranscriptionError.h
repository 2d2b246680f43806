#pragma once

#include <exception>
#include <string>

namespace parloquin {

// Errors of the dictation service, with the German text the file page shows; what() is that text.
class TranscriptionError : public std::exception {
public:
    enum class Kind {
        conversionError,
        fileReadError,
        notInitialized,
        audioTooShort,
        formatError,
        bufferError,
        converterError,
        channelDataError,
        busy,
    };

    static TranscriptionError conversionError(std::string message) {
        return TranscriptionError(Kind::conversionError, std::move(message));
    }
    static TranscriptionError fileReadError(std::string message) {
        return TranscriptionError(Kind::fileReadError, std::move(message));
    }
    static TranscriptionError notInitialized() { return TranscriptionError(Kind::notInitialized); }
    static TranscriptionError audioTooShort() { return TranscriptionError(Kind::audioTooShort); }
    static TranscriptionError formatError() { return TranscriptionError(Kind::formatError); }
    static TranscriptionError bufferError() { return TranscriptionError(Kind::bufferError); }
    static TranscriptionError converterError() { return TranscriptionError(Kind::converterError); }
    static TranscriptionError channelDataError() { return TranscriptionError(Kind::channelDataError); }
    // A recording or another transcription is running; a file waits for neither.
    static TranscriptionError busy() { return TranscriptionError(Kind::busy); }

    Kind kind() const noexcept { return kind_; }
    // The detail carried by conversionError and fileReadError; empty for the other cases.
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return description_.c_str(); }
    const std::string& errorDescription() const noexcept { return description_; }

private:
    explicit TranscriptionError(Kind kind, std::string message = {});

    Kind kind_;
    std::string message_;
    std::string description_;
};

}  // namespace parloquin
