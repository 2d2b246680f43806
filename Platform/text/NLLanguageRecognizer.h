#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Names the language a text is written in, backed by CLD2. Feed it text with processString, then
// ask for the dominant language: a language code such as "de" or "en" (CLD2's own codes), or
// nothing when the text gives no language away (empty, digits only, a lone short word, or bytes
// that are not UTF-8). No hints and no confidence threshold are applied.
class NLLanguageRecognizer {
public:
    void processString(std::string_view text);
    std::optional<std::string> dominantLanguage() const { return dominantLanguage_; }
    void reset() { dominantLanguage_.reset(); }

private:
    std::optional<std::string> dominantLanguage_;
};

}  // namespace platform
