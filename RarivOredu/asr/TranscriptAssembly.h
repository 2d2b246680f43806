#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RarivOredu/asr/AsrModels.h"
#include "RarivOredu/asr/TokenTiming.h"
#include "RarivOredu/shared/AppLogger.h"

namespace rarivoredu {

// Token id to token text; a text marks a word start with U+2581.
using Vocabulary = AsrModels::Vocabulary;

// Seconds of one encoder frame (1280 samples at 16 kHz).
inline constexpr double kSecondsPerEncoderFrame = 0.08;

// The transcript of the ids (unknown, empty and special entries skipped, word marks as spaces,
// trimmed of blanks at both ends) and the timings of the kept ids that have a timing at their index.
std::pair<std::string, std::vector<TokenTiming>> convertTokensToText(const std::vector<int>& tokenIds,
                                                                     const std::vector<TokenTiming>& timings,
                                                                     const Vocabulary& vocabulary);

// Timings in seconds, sorted by frame; empty unless timestamps and confidences match the ids in
// length. Without durations a token ends at the next token's start, at least 0.08 s after its own.
// A special piece keeps its timing with an empty text.
std::vector<TokenTiming> createTokenTimings(const std::vector<int>& tokenIds, const std::vector<int>& timestamps,
                                            const std::vector<float>& confidences, const std::vector<int>& durations,
                                            const Vocabulary& vocabulary);

// The overall confidence of a transcript: 0.1 for an empty text, else the mean token confidence
// within [0.1, 1.0]; 0.5 with a warning when the confidences do not match the tokens.
float transcriptConfidence(const std::string& text, const std::vector<float>& confidences, std::size_t tokenCount,
                           const AppLogger& logger);

// Whether a vocabulary entry is one of the tokenizer's control pieces, which are never text:
// "<unk>", "<pad>", "<s>", "</s>" and the "<|…|>" tags.
bool isSpecialPiece(std::string_view text) noexcept;

// The text with every U+2581 replaced by a space.
std::string replacingWordMarks(const std::string& text);

}  // namespace rarivoredu
