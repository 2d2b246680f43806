#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RarivOredu/tts/PhonemeLexicon.h"

namespace rarivoredu {

// The pronunciation lexicon made from misaki's US English word lists (`us_gold.json`,
// `us_silver.json`: a JSON object of word → phoneme string, or → an object of readings by part of
// speech with a "DEFAULT" member). Each character of a phoneme string is one symbol of Kokoro's
// vocabulary, as Kokoro reads them.
//
// As misaki looks words up: a gold entry wins over a silver one; without a tagger the reading of
// a part-of-speech object is its "DEFAULT"; a capitalised word ("Paris") also serves its lower-case
// form unless that has an entry of its own. A few function words listed in their strong form
// ("a", "A", "an", "the", "to", "I"), which misaki reads by their context, get the reading of their
// usual place ("ɐ", "ɐn", "ðə", "tə", "ˌI") where the vocabulary has its symbols. Words equal to
// their lower-case form go to `lower`, the others (names, acronyms) to `caseSensitive`. An entry
// with any symbol outside `allowed` is left out whole, so that the word goes to the
// grapheme-to-phoneme engine instead of being spoken with a sound missing.
struct MisakiLexicon {
    PhonemeLexicon lower;
    PhonemeLexicon caseSensitive;
    std::int64_t leftOut = 0;  // entries with a symbol outside the vocabulary

    // Throws CocoaError fileReadCorruptFile "<name> is not a misaki word list: …" for a document
    // that is not JSON, not an object, or holds a value of another form (`name` is the file's).
    static MisakiLexicon fromWordLists(std::string_view gold, std::string_view silver, const PhonemeSet& allowed,
                                       std::string_view goldName = "us_gold.json",
                                       std::string_view silverName = "us_silver.json");

    // The lexicon file's text: {"lower": {…}, "caseSensitive": {…}}, words in byte order.
    std::string json() const;
};

}  // namespace rarivoredu
