#include "RarivOredu/tts/EspeakG2PError.h"

namespace rarivoredu {
namespace {

std::string describe(EspeakG2PError::Kind kind, const std::string& voice, std::int32_t code) {
    using Kind = EspeakG2PError::Kind;
    switch (kind) {
        case Kind::initializationFailed:
            return "eSpeak NG initialization failed with status code " + std::to_string(code) + ".";
        case Kind::voiceSelectionFailed:
            return "Failed to select eSpeak NG voice " + voice + " (status code " + std::to_string(code) + ").";
        case Kind::frameworkBundleMissing: return "ESpeakNG.framework is not bundled with this build.";
        case Kind::dataBundleMissing: return "espeak-ng-data.bundle is missing from the ESpeakNG framework resources.";
        case Kind::voicesDirectoryMissing: return "eSpeak NG voices directory is missing inside espeak-ng-data.bundle.";
    }
    return {};
}

}  // namespace

EspeakG2PError::EspeakG2PError(Kind kind, std::string voice, std::int32_t code)
    : kind_(kind), voice_(std::move(voice)), code_(code), description_(describe(kind_, voice_, code_)) {}

}  // namespace rarivoredu
