#include "RarivOredu/tts/TtsOverrideMarkup.h"

#include <array>

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/UnicodeScalar.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/TtsWordCounter.h"

namespace rarivoredu::TtsTextPreprocessor {
namespace {

using platform::CharacterIterator;

// Moves the iterator past the next character equal to `wanted`; false when `stop` (if given)
// comes first or the text ends.
bool skipPast(CharacterIterator& characters, std::string_view wanted, std::string_view stop = {}) {
    while (const auto character = characters.next()) {
        if (*character == wanted) return true;
        if (!stop.empty() && *character == stop) return false;
    }
    return false;
}

bool isSlash(std::string_view text, bool atEnd) {
    CharacterIterator characters(text);
    std::optional<std::string_view> first = characters.next();
    if (!first) return false;
    if (!atEnd) return *first == "/";
    std::string_view last = *first;
    while (const auto character = characters.next()) last = *character;
    return last == "/";
}

}  // namespace

bool isApostrophe(std::string_view character) noexcept {
    static constexpr std::array<std::string_view, 6> kApostrophes{"'", "’", "ʼ", "‛", "‵", "′"};
    for (const auto apostrophe : kApostrophes) {
        if (character == apostrophe) return true;
    }
    return false;
}

OverridePhonemes parseOverridePhonemes(std::string_view text) {
    OverridePhonemes phonemes;
    const std::string trimmed = platform::trimmingWhitespaceAndNewlines(text);
    if (trimmed.empty()) return phonemes;
    for (std::size_t position = 0; position < trimmed.size();) {
        const std::size_t start = position;
        platform::nextScalar(trimmed, position);
        phonemes.scalarTokens.emplace_back(trimmed, start, position - start);
    }
    std::vector<std::string> pieces;
    std::string piece;
    CharacterIterator characters(trimmed);
    while (const auto character = characters.next()) {
        if (platform::isWhitespace(*character)) {
            if (!piece.empty()) pieces.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.append(*character);
        }
    }
    if (!piece.empty()) pieces.push_back(std::move(piece));
    phonemes.tokens = pieces.size() >= 2 ? std::move(pieces) : std::vector<std::string>{trimmed};
    return phonemes;
}

std::optional<OverrideMarkup> parseOverrideMarkup(std::string_view text, std::size_t open) {
    CharacterIterator characters(text);
    characters.setPosition(open);
    if (characters.next() != std::optional<std::string_view>("[")) return std::nullopt;
    const std::size_t wordStart = characters.position();
    if (!skipPast(characters, "]", "[")) return std::nullopt;
    const std::size_t wordEnd = characters.position() - 1;
    if (characters.next() != std::optional<std::string_view>("(")) return std::nullopt;
    const std::size_t contentStart = characters.position();
    if (!skipPast(characters, ")")) return std::nullopt;
    const std::size_t contentEnd = characters.position() - 1;

    const std::string content =
        platform::trimmingWhitespaceAndNewlines(text.substr(contentStart, contentEnd - contentStart));
    if (!isSlash(content, false) || !isSlash(content, true) || content.size() < 2) return std::nullopt;
    const std::string raw = platform::trimmingWhitespaceAndNewlines(
        std::string_view(content).substr(1, content.size() - 2));
    if (raw.empty()) return std::nullopt;
    OverridePhonemes phonemes = parseOverridePhonemes(raw);
    if (phonemes.tokens.empty() && phonemes.scalarTokens.empty()) return std::nullopt;

    OverrideMarkup markup;
    markup.word = std::string(text.substr(wordStart, wordEnd - wordStart));
    markup.raw = raw;
    markup.tokens = std::move(phonemes.tokens);
    markup.scalarTokens = std::move(phonemes.scalarTokens);
    markup.end = characters.position();
    return markup;
}

TtsPreprocessingResult extractPhoneticOverrides(std::string_view text) {
    TtsPreprocessingResult result;
    if (text.find('[') == std::string_view::npos) {
        result.text = std::string(text);
        return result;
    }
    result.text.reserve(text.size());
    TtsWordCounter words;
    CharacterIterator characters(text);
    for (;;) {
        const std::size_t at = characters.position();
        const auto character = characters.next();
        if (!character) break;
        if (*character == "[") {
            if (auto markup = parseOverrideMarkup(text, at)) {
                const std::string word =
                    platform::precomposedStringWithCanonicalMapping(platform::trimmingWhitespaceAndNewlines(markup->word));
                if (!word.empty()) {
                    // Glued to the word before it, the markup belongs to that word.
                    TtsPhoneticOverride phonetic;
                    phonetic.wordIndex = words.count();
                    CharacterIterator marked(word);
                    while (const auto c = marked.next()) words.add(*c);
                    result.text += word;
                    phonetic.tokens = std::move(markup->tokens);
                    phonetic.scalarTokens = std::move(markup->scalarTokens);
                    phonetic.raw = std::move(markup->raw);
                    phonetic.word = word;
                    result.phoneticOverrides.push_back(std::move(phonetic));
                    characters.setPosition(markup->end);
                    continue;
                }
            }
        }
        result.text.append(*character);
        words.add(*character);
    }
    return result;
}

}  // namespace rarivoredu::TtsTextPreprocessor
