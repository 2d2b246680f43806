#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "RarivOredu/tts/PhonemeLexicon.h"
#include "RarivOredu/tts/TtsPhoneticOverride.h"

namespace rarivoredu::KokoroChunker {

// The word level of the chunker: atoms of a text segment and the phoneme tokens of a word.
// Every token that leaves here is a symbol the caller allows.

enum class AtomKind { word, punctuation };

struct AtomToken {
    std::string text;  // a word spelled with "'" for every apostrophe, or one punctuation character
    AtomKind kind;

    friend bool operator==(const AtomToken&, const AtomToken&) = default;
};

// The names of the letters a to z as phoneme tokens ("x" → "ɛ", "k", "s").
const std::unordered_map<std::string, std::vector<std::string>>& letterPhonemes();

// Cuts a segment into words and punctuation marks. White space separates words and is no atom;
// letters, numbers, apostrophes (written "'") and emoji make up words; any other character is
// a punctuation atom of its own.
std::vector<AtomToken> atomize(std::string_view segment);

// The word lower-cased, keeping only letters, marks, decimal digits and "'".
std::string cleanWord(std::string_view word);

// The tokens of a word from the first source that has it: the case-sensitive lexicon (as
// written, then cleaned), the lower-case lexicon, eSpeak NG (voice "en-us", on its queue), the
// spelled-out number, the letter name. Nothing when no source gives an allowed token; the
// cleaned word is then added to `missing`. Passes on what eSpeak NG throws.
std::optional<std::vector<std::string>> resolveWordTokens(const std::string& word, const std::string& cleaned,
                                                          const PhonemeLexicon& lowerLexicon,
                                                          const PhonemeLexicon& caseSensitiveLexicon,
                                                          const PhonemeSet& allowed, std::set<std::string>& missing);

// The words of a string of ASCII digits spelled out in English ("42" → "forty", "two");
// nothing for anything else or a value beyond 64 signed bits.
std::optional<std::vector<std::string>> spelledOutNumber(std::string_view word);

// The allowed tokens of an override: its tokens as they are, else fitted to the vocabulary,
// else its scalars fitted; empty when none fits.
std::vector<std::string> overrideTokens(const TtsPhoneticOverride& phoneticOverride, const PhonemeSet& allowed);

// The word tokens of one chunking run: each distinct word is resolved once, however often the
// planning and the building of chunks ask for it.
class WordTokenCache {
public:
    WordTokenCache(const PhonemeLexicon& lowerLexicon, const PhonemeLexicon& caseSensitiveLexicon,
                   const PhonemeSet& allowed)
        : lowerLexicon_(lowerLexicon), caseSensitiveLexicon_(caseSensitiveLexicon), allowed_(allowed) {}

    const PhonemeSet& allowed() const noexcept { return allowed_; }

    // As resolveWordTokens; the answer stays valid as long as the cache.
    const std::vector<std::string>* tokens(const std::string& word, const std::string& cleaned,
                                           std::set<std::string>& missing);

private:
    const PhonemeLexicon& lowerLexicon_;
    const PhonemeLexicon& caseSensitiveLexicon_;
    const PhonemeSet& allowed_;
    std::unordered_map<std::string, std::optional<std::vector<std::string>>, PhonemeStringHash, std::equal_to<>>
        answers_;
};

}  // namespace rarivoredu::KokoroChunker
