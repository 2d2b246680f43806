#include "RarivOredu/tts/TtsWordCounter.h"

#include "Platform/text/CharacterIterator.h"
#include "RarivOredu/tts/TtsOverrideMarkup.h"

namespace rarivoredu {

bool TtsWordCounter::isWordCharacter(std::string_view character) {
    return platform::isLetter(character) || platform::isNumber(character) ||
           TtsTextPreprocessor::isApostrophe(character) || platform::containsEmoji(character);
}

bool TtsWordCounter::add(std::string_view character) {
    if (isWordCharacter(character) || (inWord_ && platform::isCombiningMarksOnly(character))) {
        const bool begins = !inWord_;
        inWord_ = true;
        return begins;
    }
    if (inWord_ && !platform::isCombiningMarksOnly(character)) ++count_;
    inWord_ = false;
    return false;
}

}  // namespace rarivoredu
