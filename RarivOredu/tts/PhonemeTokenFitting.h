#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "RarivOredu/tts/PhonemeLexicon.h"

namespace rarivoredu {

// IPA sequences to the symbol the model uses for them ("tʃ" → "ʧ", "ɹ" → "r", "eɪ" → "e").
const std::unordered_map<std::string, std::string>& vocabularyFixups();

// Fits phoneme tokens (symbols or parts of symbols) to the symbols the model accepts: a token
// that is allowed stays; otherwise a token and its successor that together are allowed, or map
// through the fixups to an allowed symbol, become that symbol; otherwise a token that maps alone
// becomes its symbol; anything else is dropped.
std::vector<std::string> mergeLexiconTokens(const std::vector<std::string>& tokens, const PhonemeSet& allowed);

}  // namespace rarivoredu
