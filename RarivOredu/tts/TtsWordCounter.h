#pragma once

#include <cstdint>
#include <string_view>

namespace rarivoredu {

// Counts the words of a text one character (grapheme cluster) at a time, as the pronunciation
// overrides number them: a word is a run of letters, numbers, apostrophes and emoji, which
// combining marks continue.
class TtsWordCounter {
public:
    bool inWord() const noexcept { return inWord_; }
    // The index of the word being read, or of the next one: the words that have ended.
    std::int64_t count() const noexcept { return count_; }

    // Reads one character; true when it begins a word.
    bool add(std::string_view character);

    static bool isWordCharacter(std::string_view character);

private:
    bool inWord_ = false;
    std::int64_t count_ = 0;
};

}  // namespace rarivoredu
