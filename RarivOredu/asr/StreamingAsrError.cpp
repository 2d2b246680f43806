#include "RarivOredu/asr/StreamingAsrError.h"

#include "Platform/system/ErrorDescription.h"

namespace rarivoredu {
namespace {

std::string description(StreamingAsrError::Kind kind, AudioSource source, const std::exception_ptr& underlying,
                        const std::string& message) {
    using Kind = StreamingAsrError::Kind;
    switch (kind) {
        case Kind::streamAlreadyExists: return std::string("A stream already exists for source: ") + name(source);
        case Kind::audioBufferProcessingFailed:
            return "Audio buffer processing failed: " + StreamingAsrError::describe(underlying);
        case Kind::audioConversionFailed: return "Audio conversion failed: " + StreamingAsrError::describe(underlying);
        case Kind::modelProcessingFailed: return "Model processing failed: " + StreamingAsrError::describe(underlying);
        case Kind::invalidConfiguration: return "Invalid configuration: " + message;
        case Kind::modelsNotLoaded: return "ASR models have not been loaded";
        case Kind::bufferOverflow: return "Audio buffer overflow occurred";
    }
    return {};
}

}  // namespace

StreamingAsrError::StreamingAsrError(Kind kind, AudioSource source, std::exception_ptr underlying, std::string message)
    : kind_(kind),
      source_(source),
      underlying_(std::move(underlying)),
      message_(std::move(message)),
      description_(description(kind_, source_, underlying_, message_)) {}

StreamingAsrError StreamingAsrError::streamAlreadyExists(AudioSource source) {
    return StreamingAsrError(Kind::streamAlreadyExists, source, nullptr, {});
}

StreamingAsrError StreamingAsrError::audioBufferProcessingFailed(std::exception_ptr error) {
    return StreamingAsrError(Kind::audioBufferProcessingFailed, AudioSource::microphone, std::move(error), {});
}

StreamingAsrError StreamingAsrError::audioConversionFailed(std::exception_ptr error) {
    return StreamingAsrError(Kind::audioConversionFailed, AudioSource::microphone, std::move(error), {});
}

StreamingAsrError StreamingAsrError::modelProcessingFailed(std::exception_ptr error) {
    return StreamingAsrError(Kind::modelProcessingFailed, AudioSource::microphone, std::move(error), {});
}

StreamingAsrError StreamingAsrError::invalidConfiguration(std::string message) {
    return StreamingAsrError(Kind::invalidConfiguration, AudioSource::microphone, nullptr, std::move(message));
}

StreamingAsrError StreamingAsrError::modelsNotLoaded() {
    return StreamingAsrError(Kind::modelsNotLoaded, AudioSource::microphone, nullptr, {});
}

StreamingAsrError StreamingAsrError::bufferOverflow() {
    return StreamingAsrError(Kind::bufferOverflow, AudioSource::microphone, nullptr, {});
}

std::string StreamingAsrError::describe(const std::exception_ptr& error) {
    return platform::errorDescription(error, "Unknown error");
}

}  // namespace rarivoredu
