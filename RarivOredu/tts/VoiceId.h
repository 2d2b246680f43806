#pragma once

#include <string_view>

namespace rarivoredu {

// A voice id names a file on the model hub and in the cache, so it is only ever made of ASCII
// letters, digits, "_" and "-".
struct VoiceId {
    static bool isValid(std::string_view voice) noexcept;
    // Throws TTSError.processingFailed "Invalid voice id '<voice>': use only letters, digits, "_"
    // and "-"" for any other id, the empty one included.
    static void require(std::string_view voice);
};

}  // namespace rarivoredu
