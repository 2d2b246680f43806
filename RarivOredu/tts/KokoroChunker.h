#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "RarivOredu/shared/AppLogger.h"
#include "RarivOredu/tts/KokoroChunkerWords.h"
#include "RarivOredu/tts/PhonemeLexicon.h"
#include "RarivOredu/tts/TextChunk.h"
#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu::KokoroChunker {

// Cuts a preprocessed text into the chunks the model voices one prediction each, every chunk
// within the token budget of the given capacity (less 14 tokens; 15 with `reserveExtraToken`,
// never below 1). Sentences are found and short ones merged, long ones split at clause
// punctuation, and the segments cut between words where they must. Empty when the text holds
// nothing to say. Passes on what eSpeak NG throws for words outside the lexicons.
std::vector<TextChunk> chunk(std::string_view text, const PhonemeLexicon& lowerLexicon,
                             const PhonemeLexicon& caseSensitiveLexicon, int capacity, bool reserveExtraToken,
                             const PhonemeSet& allowed, const std::vector<TtsPhoneticOverride>& overrides);

// The token budget of a capacity.
int tokenBudget(int capacity, bool reserveExtraToken) noexcept;

// Lines joined by one space, empty lines dropped; a text without line breaks stays as it is.
std::string normalizeNewlines(std::string_view text);
// The sentences of the text, trimmed, in the text's dominant language (English when unknown);
// the whole text when none is found.
std::vector<std::string> splitSentences(std::string_view text);
// Neighbouring sentences joined while their tokens stay within min(budget, 242).
std::vector<std::string> mergeShortSentences(const std::vector<std::string>& sentences, int budget,
                                             WordTokenCache& words);
// `next` appended to `accumulated`, with a space unless it starts with attaching punctuation.
std::string joinSegment(std::string_view accumulated, std::string_view next);
// The segment cut after each "," ";" ":" (and the space after it); the whole segment when
// there is none.
std::vector<std::string> splitAtClausePunctuation(std::string_view segment);
// Clauses joined into groups within the budget; empty when a clause after the first is over the
// budget by itself.
std::vector<std::string> packClauses(const std::vector<std::string>& clauses, int budget, WordTokenCache& words);
// The tokens the chunk builder would emit for the segment, counted until they pass `limit`.
int estimateTokenCount(std::string_view segment, int limit, WordTokenCache& words);

// The chunker's logger: subsystem "com.rarivoredu.tts", category "KokoroChunker".
const AppLogger& logger();

}  // namespace rarivoredu::KokoroChunker
