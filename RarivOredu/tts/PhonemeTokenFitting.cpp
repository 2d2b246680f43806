#include "RarivOredu/tts/PhonemeTokenFitting.h"

namespace rarivoredu {

const std::unordered_map<std::string, std::string>& vocabularyFixups() {
    static const std::unordered_map<std::string, std::string> fixups = {
        {"t͡ʃ", "ʧ"}, {"tʃ", "ʧ"}, {"d͡ʒ", "ʤ"}, {"dʒ", "ʤ"}, {"ʃ", "ʃ"},  {"ʒ", "ʒ"},  {"θ", "θ"},  {"ð", "ð"},
        {"ɹ", "r"},   {"ɾ", "t"},  {"ɫ", "l"},   {"ŋ", "ŋ"},  {"æ", "æ"},  {"ɑ", "ɑ"},  {"ɒ", "ɑ"},  {"ʌ", "ʌ"},
        {"ɪ", "ɪ"},   {"i", "i"},  {"ʊ", "ʊ"},   {"u", "u"},  {"ə", "ə"},  {"ɚ", "ɚ"},  {"ɝ", "ɝ"},  {"ɛ", "ɛ"},
        {"e", "e"},   {"o", "o"},  {"ɔ", "ɔ"},   {"eɪ", "e"}, {"oʊ", "o"}, {"aɪ", "a"}, {"aʊ", "a"}, {"ɔɪ", "ɔ"},
    };
    return fixups;
}

namespace {

const std::string* fixupFor(const std::string& sequence, const PhonemeSet& allowed) {
    const auto& fixups = vocabularyFixups();
    const auto found = fixups.find(sequence);
    if (found == fixups.end() || !allowed.contains(found->second)) return nullptr;
    return &found->second;
}

}  // namespace

std::vector<std::string> mergeLexiconTokens(const std::vector<std::string>& tokens, const PhonemeSet& allowed) {
    std::vector<std::string> merged;
    merged.reserve(tokens.size());
    std::string pair;
    for (std::size_t i = 0; i < tokens.size();) {
        const std::string& token = tokens[i];
        if (allowed.contains(token)) {
            merged.push_back(token);
            ++i;
            continue;
        }
        if (i + 1 < tokens.size()) {
            pair.assign(token).append(tokens[i + 1]);
            if (allowed.contains(pair)) {
                merged.push_back(pair);
                i += 2;
                continue;
            }
            if (const std::string* symbol = fixupFor(pair, allowed)) {
                merged.push_back(*symbol);
                i += 2;
                continue;
            }
        }
        if (const std::string* symbol = fixupFor(token, allowed)) merged.push_back(*symbol);
        ++i;
    }
    return merged;
}

}  // namespace rarivoredu
