#include "RarivOredu/tts/KokoroChunkerWords.h"

#include "Platform/system/IntegerText.h"
#include "Platform/text/CharacterIterator.h"
#include "Platform/text/StringSearch.h"
#include "Platform/text/UnicodeScalar.h"
#include "RarivOredu/tts/EspeakG2P.h"
#include "RarivOredu/tts/PhonemeTokenFitting.h"
#include "RarivOredu/tts/TtsOverrideMarkup.h"
#include "RarivOredu/tts/TtsSpokenNumbers.h"

namespace rarivoredu::KokoroChunker {
namespace {

constexpr const char* kVoice = "en-us";

std::vector<std::string> onlyAllowed(const std::vector<std::string>& tokens, const PhonemeSet& allowed) {
    std::vector<std::string> kept;
    kept.reserve(tokens.size());
    for (const auto& token : tokens) {
        if (allowed.contains(token)) kept.push_back(token);
    }
    return kept;
}

const std::vector<std::string>* find(const PhonemeLexicon& lexicon, std::string_view word) {
    const auto found = lexicon.find(word);
    return found == lexicon.end() ? nullptr : &found->second;
}

// The engine's tokens for a word fitted to the vocabulary; nothing when none fit. Where a word
// of a reading of several words loses all its symbols, its space token goes with it.
std::optional<std::vector<std::string>> g2pTokens(const std::string& word, const PhonemeSet& allowed) {
    EspeakG2P& g2p = EspeakG2P::shared();
    const auto phonemes = g2p.queue().sync([&] { return g2p.phonemize(word, kVoice); });
    if (!phonemes) return std::nullopt;
    std::vector<std::string> fitted;
    for (auto& token : mergeLexiconTokens(*phonemes, allowed)) {
        const bool space = token == " ";
        if (space && (fitted.empty() || fitted.back() == " ")) continue;
        fitted.push_back(std::move(token));
    }
    if (!fitted.empty() && fitted.back() == " ") fitted.pop_back();
    if (fitted.empty()) return std::nullopt;
    return fitted;
}

std::optional<std::vector<std::string>> letterName(const std::string& letter, const PhonemeSet& allowed) {
    const auto& letters = letterPhonemes();
    const auto found = letters.find(letter);
    if (found == letters.end()) return std::nullopt;
    std::vector<std::string> kept = onlyAllowed(found->second, allowed);
    if (kept.empty()) return std::nullopt;
    return kept;
}

// The tokens of a number read out word by word, " " between the words.
std::optional<std::vector<std::string>> numberTokens(const std::vector<std::string>& words,
                                                     const PhonemeLexicon& lowerLexicon, const PhonemeSet& allowed) {
    std::vector<std::string> tokens;
    for (const auto& word : words) {
        std::optional<std::vector<std::string>> found;
        if (const auto* entry = find(lowerLexicon, word)) found = *entry;
        if (!found) found = g2pTokens(word, allowed);
        if (!found) found = letterName(word, allowed);
        if (!found) return std::nullopt;
        const std::vector<std::string> kept = onlyAllowed(*found, allowed);
        if (kept.empty()) return std::nullopt;
        if (!tokens.empty()) tokens.emplace_back(" ");
        tokens.insert(tokens.end(), kept.begin(), kept.end());
    }
    return tokens;
}

}  // namespace

const std::unordered_map<std::string, std::vector<std::string>>& letterPhonemes() {
    static const std::unordered_map<std::string, std::vector<std::string>> letters = {
        {"a", {"e", "ɪ"}},      {"b", {"b", "i"}},      {"c", {"s", "i"}}, {"d", {"d", "i"}},
        {"e", {"i"}},           {"f", {"ɛ", "f"}},      {"g", {"ʤ", "i"}}, {"h", {"e", "ɪ", "ʧ"}},
        {"i", {"a", "ɪ"}},      {"j", {"ʤ", "e"}},      {"k", {"k", "e"}}, {"l", {"ɛ", "l"}},
        {"m", {"ɛ", "m"}},      {"n", {"ɛ", "n"}},      {"o", {"o"}},      {"p", {"p", "i"}},
        {"q", {"k", "j", "u"}}, {"r", {"ɑ", "r"}},      {"s", {"ɛ", "s"}}, {"t", {"t", "i"}},
        {"u", {"j", "u"}},      {"v", {"v", "i"}},      {"w", {"d", "ʌ", "b", "əl", "j", "u"}},
        {"x", {"ɛ", "k", "s"}}, {"y", {"w", "a", "ɪ"}}, {"z", {"z", "i"}},
    };
    return letters;
}

std::vector<AtomToken> atomize(std::string_view segment) {
    std::vector<AtomToken> atoms;
    std::string word;
    const auto endWord = [&] {
        if (word.empty()) return;
        atoms.push_back(AtomToken{std::move(word), AtomKind::word});
        word.clear();
    };
    platform::CharacterIterator characters(segment);
    while (const auto character = characters.next()) {
        if (platform::isWhitespace(*character)) {
            endWord();
        } else if (TtsTextPreprocessor::isApostrophe(*character)) {
            word.push_back('\'');
        } else if (platform::isLetter(*character) || platform::isNumber(*character) ||
                   platform::containsEmoji(*character)) {
            word.append(*character);
        } else {
            endWord();
            atoms.push_back(AtomToken{std::string(*character), AtomKind::punctuation});
        }
    }
    endWord();
    return atoms;
}

std::string cleanWord(std::string_view word) {
    const std::string lower = platform::lowercased(word);
    std::string cleaned;
    cleaned.reserve(lower.size());
    for (std::size_t position = 0; position < lower.size();) {
        const std::size_t start = position;
        const char32_t scalar = platform::nextScalar(lower, position);
        if (scalar == U'\'' || platform::isLetterOrMarkScalar(scalar) || platform::isDecimalDigitScalar(scalar)) {
            cleaned.append(lower, start, position - start);
        }
    }
    return cleaned;
}

std::optional<std::vector<std::string>> resolveWordTokens(const std::string& word, const std::string& cleaned,
                                                          const PhonemeLexicon& lowerLexicon,
                                                          const PhonemeLexicon& caseSensitiveLexicon,
                                                          const PhonemeSet& allowed, std::set<std::string>& missing) {
    std::optional<std::vector<std::string>> entry;
    if (const auto* found = find(caseSensitiveLexicon, word)) {
        entry = *found;
    } else if (const auto* cleanedFound = find(caseSensitiveLexicon, cleaned)) {
        entry = *cleanedFound;
    } else if (const auto* lowerFound = find(lowerLexicon, cleaned)) {
        entry = *lowerFound;
    }
    if (!entry) entry = g2pTokens(cleaned, allowed);
    if (!entry) {
        if (const auto words = spelledOutNumber(cleaned)) entry = numberTokens(*words, lowerLexicon, allowed);
    }
    if (!entry) entry = letterName(cleaned, allowed);
    if (entry) {
        std::vector<std::string> kept = onlyAllowed(*entry, allowed);
        if (!kept.empty()) return kept;
    }
    missing.insert(cleaned);
    return std::nullopt;
}

std::optional<std::vector<std::string>> spelledOutNumber(std::string_view word) {
    const auto value = word.empty() || word.find_first_not_of("0123456789") != std::string_view::npos
                           ? std::nullopt
                           : platform::int64FromText(word);
    if (!value) return std::nullopt;
    const auto text = TtsTextPreprocessor::spelledOut(*value);
    if (!text) return std::nullopt;
    std::vector<std::string> words;
    std::string current;
    const std::string lower = platform::lowercased(*text);
    for (std::size_t position = 0; position < lower.size();) {
        const std::size_t start = position;
        const char32_t scalar = platform::nextScalar(lower, position);
        if (scalar == U'-' || platform::isWhiteSpaceScalar(scalar)) {
            if (!current.empty()) words.push_back(std::move(current));
            current.clear();
        } else {
            current.append(lower, start, position - start);
        }
    }
    if (!current.empty()) words.push_back(std::move(current));
    if (words.empty()) return std::nullopt;
    return words;
}

std::vector<std::string> overrideTokens(const TtsPhoneticOverride& phoneticOverride, const PhonemeSet& allowed) {
    std::vector<std::string> tokens = onlyAllowed(phoneticOverride.tokens, allowed);
    if (!tokens.empty()) return tokens;
    tokens = mergeLexiconTokens(phoneticOverride.tokens, allowed);
    if (!tokens.empty()) return tokens;
    if (!phoneticOverride.scalarTokens.empty()) return mergeLexiconTokens(phoneticOverride.scalarTokens, allowed);
    return {};
}

const std::vector<std::string>* WordTokenCache::tokens(const std::string& word, const std::string& cleaned,
                                                       std::set<std::string>& missing) {
    auto found = answers_.find(word);
    if (found == answers_.end()) {
        std::set<std::string> none;
        auto answer = resolveWordTokens(word, cleaned, lowerLexicon_, caseSensitiveLexicon_, allowed_, none);
        found = answers_.emplace(word, std::move(answer)).first;
    }
    if (!found->second) {
        missing.insert(cleaned);
        return nullptr;
    }
    return &*found->second;
}

}  // namespace rarivoredu::KokoroChunker
