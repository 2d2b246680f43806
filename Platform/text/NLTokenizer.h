#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Platform/text/NSTextCheckingResult.h"

namespace platform {

// Cuts text into sentences with ICU's sentence break rules for a language, not breaking after
// the language's common abbreviations ("Mr.", "e.g.") where ICU knows them.
class NLTokenizer {
public:
    enum class Unit { sentence };

    explicit NLTokenizer(Unit unit) : unit_(unit) {}

    // A language code such as "en" or "de"; the root rules when never set or unknown.
    void setLanguage(std::string_view languageCode) { language_ = languageCode; }

    // The byte ranges of the sentences of the whole text, in order, together covering it:
    // each sentence keeps the white space that follows it.
    std::vector<NSRange> tokens(std::string_view text) const;

private:
    Unit unit_;
    std::string language_;
};

}  // namespace platform
