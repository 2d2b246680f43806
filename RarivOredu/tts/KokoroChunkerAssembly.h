#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "RarivOredu/tts/KokoroChunkerWords.h"
#include "RarivOredu/tts/TextChunk.h"
#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu::KokoroChunker {

// Whether a character attaches to the text before it without a space: , ; : ! ? . … — – ' " ) ] }
// and the closing quotes ” ’.
bool isAttachingPunctuation(std::string_view character) noexcept;
// Whether the text's first character attaches.
bool startsWithAttachingPunctuation(std::string_view text);

// Cuts one planned segment into chunks of at most `budget` tokens (a single word with more
// tokens than that makes a chunk of its own). `wordCounter` counts every word atom of the whole
// text, also the ones left out; `overrideCursor` points into the overrides sorted by word index.
// Both carry over from segment to segment. Words without tokens are left out and logged once
// per segment. Passes on what eSpeak NG throws.
std::vector<TextChunk> buildChunks(std::string_view segment, WordTokenCache& words, int budget,
                                   std::int64_t& wordCounter, const std::vector<TtsPhoneticOverride>& sortedOverrides,
                                   std::size_t& overrideCursor);

}  // namespace rarivoredu::KokoroChunker
