#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu::KokoroSynthesizer {

// The text without any of the bracket characters ( ) [ ] { }; everything else stays in order.
std::string stripParentheses(std::string_view text);

// The text as the synthesizer takes it: trimmed, without brackets, every run of white space one
// space. Throws TTSError.processingFailed "Input text is empty" when nothing but white space is
// given, and "Input text is empty after stripping parentheses" when only brackets remain.
std::string sanitizeInput(std::string_view text);

// The pronunciation overrides of a preprocessed text, renumbered for the text sanitizeInput makes
// of it. Removing a bracket that stands alone between two words ("a(b)c") joins them into one
// word, so the words after it move down; an override for a word joined to the one before it is
// dropped, with a warning, unless the joined word has none.
std::vector<TtsPhoneticOverride> overridesAfterSanitizing(std::string_view text,
                                                          std::vector<TtsPhoneticOverride> overrides);

}  // namespace rarivoredu::KokoroSynthesizer
