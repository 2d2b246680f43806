#include "RarivOredu/vad/VadError.h"

namespace rarivoredu {
namespace {

std::string describe(VadError::Kind kind, const std::string& message) {
    using Kind = VadError::Kind;
    switch (kind) {
        case Kind::modelProcessingFailed: return "Model processing failed: " + message;
        case Kind::notInitialized: return "VAD system not initialized";
        case Kind::modelLoadingFailed: return "Failed to load VAD model";
        case Kind::invalidConfiguration: return "Invalid configuration: " + message;
    }
    return {};
}

}  // namespace

VadError::VadError(Kind kind, std::string message)
    : kind_(kind), message_(std::move(message)), description_(describe(kind_, message_)) {}

}  // namespace rarivoredu
