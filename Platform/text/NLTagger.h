#pragma once

#include <string_view>
#include <vector>

#include "Platform/text/NSTextCheckingResult.h"

namespace platform {

// Tags text word by word with a coarse lexical class. The words are ICU's word-break segments,
// so each punctuation mark and each run of white space is a token of its own; a token's class
// comes from ICU's rule status for the segment and the Unicode category of its first scalar.
class NLTagger {
public:
    enum class Tag { word, number, punctuation, whitespace };

    struct TaggedToken {
        NSRange range;
        Tag tag;
    };

    // Every token of the whole text in order, white space included.
    static std::vector<TaggedToken> lexicalClasses(std::string_view text);
};

}  // namespace platform
