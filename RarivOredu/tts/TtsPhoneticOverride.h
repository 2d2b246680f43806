#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rarivoredu {

// A pronunciation given inline in the text, as "[word](/phonemes/)".
struct TtsPhoneticOverride {
    std::int64_t wordIndex = 0;             // index of the marked word among the words of the text
    std::vector<std::string> tokens;        // the phoneme text split at white space
    std::vector<std::string> scalarTokens;  // the phoneme text, one Unicode scalar each
    std::string raw;                        // the phoneme text between the slashes, trimmed
    std::string word;                       // the marked word, trimmed, in NFC

    friend bool operator==(const TtsPhoneticOverride&, const TtsPhoneticOverride&) = default;
};

}  // namespace rarivoredu
