#include "RarivOredu/tts/TTSError.h"

namespace rarivoredu {
namespace {

std::string describe(TTSError::Kind kind, const std::string& message) {
    using Kind = TTSError::Kind;
    switch (kind) {
        case Kind::downloadFailed: return "Download failed: " + message;
        case Kind::corruptedModel: return "Model " + message + " is corrupted";
        case Kind::modelNotFound: return "Model " + message + " not found";
        case Kind::processingFailed: return "Processing failed: " + message;
    }
    return {};
}

}  // namespace

TTSError::TTSError(Kind kind, std::string message)
    : kind_(kind), message_(std::move(message)), description_(describe(kind_, message_)) {}

}  // namespace rarivoredu
