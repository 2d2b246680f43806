#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace rarivoredu::KokoroSynthesizer {

// Loads the phoneme vocabulary (downloading it when missing) and the shared lexicon, cut down to
// the vocabulary's symbols. Errors of the cache folder, the vocabulary and the lexicon pass on.
void loadLexiconAndVocabulary();

// When the text holds words the lexicon lacks, eSpeak NG must be there to spell them; else throws
// TTSError.processingFailed "G2P (eSpeak NG) unavailable but required for OOV words (<up to five
// of them>): <why>". Looks at up to eight such words.
void validateLexiconCoverage(std::string_view text);

// The bytes of every file below a folder; 0 when it cannot be read.
std::int64_t directorySize(const std::filesystem::path& directory) noexcept;

}  // namespace rarivoredu::KokoroSynthesizer
