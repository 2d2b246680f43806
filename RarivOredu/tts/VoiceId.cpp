#include "RarivOredu/tts/VoiceId.h"

#include <string>

#include "RarivOredu/tts/TTSError.h"

namespace rarivoredu {

bool VoiceId::isValid(std::string_view voice) noexcept {
    if (voice.empty()) return false;
    for (const char c : voice) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                             c == '-';
        if (!allowed) return false;
    }
    return true;
}

void VoiceId::require(std::string_view voice) {
    if (!isValid(voice)) {
        throw TTSError::processingFailed("Invalid voice id '" + std::string(voice) +
                                         "': use only letters, digits, \"_\" and \"-\"");
    }
}

}  // namespace rarivoredu
