#include "RarivOredu/shared/AudioConverterError.h"

namespace rarivoredu {
namespace {

std::string describe(AudioConverterError::Kind kind, const std::optional<platform::NSError>& underlying) {
    using Kind = AudioConverterError::Kind;
    switch (kind) {
        case Kind::conversionFailed:
            return "Audio conversion failed: " + (underlying ? underlying->localizedDescription() : "Unknown error");
        case Kind::failedToCreateConverter: return "Failed to create audio converter";
        case Kind::failedToCreateBuffer: return "Failed to create conversion buffer";
    }
    return {};
}

}  // namespace

AudioConverterError::AudioConverterError(Kind kind, std::optional<platform::NSError> underlying)
    : kind_(kind), underlying_(std::move(underlying)), description_(describe(kind_, underlying_)) {}

}  // namespace rarivoredu
