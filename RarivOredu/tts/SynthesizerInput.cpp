#include "RarivOredu/tts/SynthesizerInput.h"

#include <cstdint>

#include "Platform/text/CharacterIterator.h"
#include "Platform/text/UnicodeText.h"
#include "RarivOredu/tts/KokoroSynthesizerLogger.h"
#include "RarivOredu/tts/TTSError.h"
#include "RarivOredu/tts/TtsConstants.h"
#include "RarivOredu/tts/TtsWordCounter.h"

namespace rarivoredu::KokoroSynthesizer {
namespace {

bool isBracket(std::string_view character) {
    if (character.size() != 1) return false;
    return TtsConstants::parentheticalDelimiters().count(static_cast<char32_t>(character[0])) != 0;
}

// For every word of the text, the index it has once the brackets are gone.
std::vector<std::int64_t> wordIndicesAfterStripping(std::string_view text) {
    std::vector<std::int64_t> indices;
    TtsWordCounter words;
    platform::CharacterIterator characters(text);
    std::int64_t index = -1;
    bool gapSeen = false;       // characters since the last word
    bool gapOnlyBrackets = true;
    while (const auto character = characters.next()) {
        if (words.add(*character)) {
            const bool joined = !indices.empty() && gapSeen && gapOnlyBrackets;
            if (!joined) ++index;
            indices.push_back(index);
            gapSeen = false;
            gapOnlyBrackets = true;
        } else if (!words.inWord()) {
            gapSeen = true;
            gapOnlyBrackets = gapOnlyBrackets && isBracket(*character);
        }
    }
    return indices;
}

}  // namespace

std::string stripParentheses(std::string_view text) {
    std::string stripped;
    stripped.reserve(text.size());
    platform::CharacterIterator characters(text);
    while (const auto character = characters.next()) {
        if (!isBracket(*character)) stripped.append(*character);
    }
    return stripped;
}

std::string sanitizeInput(std::string_view text) {
    const std::string trimmed = platform::trimmingWhitespaceAndNewlines(text);
    if (trimmed.empty()) throw TTSError::processingFailed("Input text is empty");
    const std::string spaced = TtsConstants::whitespaceRegex().stringByReplacingMatches(stripParentheses(trimmed), " ");
    std::string sanitized = platform::trimmingWhitespaceAndNewlines(spaced);
    if (sanitized.empty()) throw TTSError::processingFailed("Input text is empty after stripping parentheses");
    return sanitized;
}

std::vector<TtsPhoneticOverride> overridesAfterSanitizing(std::string_view text,
                                                          std::vector<TtsPhoneticOverride> overrides) {
    if (overrides.empty()) return overrides;
    const std::vector<std::int64_t> indices = wordIndicesAfterStripping(text);
    const std::int64_t joins = indices.empty() ? 0 : static_cast<std::int64_t>(indices.size()) - 1 - indices.back();
    std::vector<TtsPhoneticOverride> renumbered;
    renumbered.reserve(overrides.size());
    for (auto& entry : overrides) {
        const std::int64_t original = entry.wordIndex;
        const bool known = original >= 0 && original < static_cast<std::int64_t>(indices.size());
        // Beyond the last word an override stays as far past it as it was.
        const std::int64_t index = known ? indices[static_cast<std::size_t>(original)] : original - joins;
        const bool joinedToPrevious = known && original > 0 && indices[static_cast<std::size_t>(original) - 1] == index;
        bool taken = false;
        for (const auto& kept : renumbered) taken = taken || kept.wordIndex == index;
        if (joinedToPrevious && taken) {
            logger().warning("Dropping phonetic override for word '" + entry.word +
                             "': removing brackets joined it to the word before");
            continue;
        }
        entry.wordIndex = index;
        renumbered.push_back(std::move(entry));
    }
    return renumbered;
}

}  // namespace rarivoredu::KokoroSynthesizer
