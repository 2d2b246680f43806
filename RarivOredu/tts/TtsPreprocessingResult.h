#pragma once

#include <string>
#include <vector>

#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu {

// Text made ready to be spoken, and the pronunciations taken out of its markup.
struct TtsPreprocessingResult {
    std::string text;
    std::vector<TtsPhoneticOverride> phoneticOverrides;  // in text order

    friend bool operator==(const TtsPreprocessingResult&, const TtsPreprocessingResult&) = default;
};

}  // namespace rarivoredu
