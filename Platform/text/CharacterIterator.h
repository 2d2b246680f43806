#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace platform {

// Walks UTF-8 text character by character, a character being what a reader sees as one: an
// extended grapheme cluster ("e" followed by a combining accent, CR LF, a flag). Ill-formed
// bytes are characters of one byte each. The text must outlive the iterator.
class CharacterIterator {
public:
    explicit CharacterIterator(std::string_view text);
    ~CharacterIterator();
    CharacterIterator(const CharacterIterator&) = delete;
    CharacterIterator& operator=(const CharacterIterator&) = delete;

    // The next character, or nothing at the end of the text.
    std::optional<std::string_view> next();
    // The byte offset of the next character.
    std::size_t position() const noexcept { return position_; }
    // Goes on from a byte offset that starts a character (clamped to the text's end).
    void setPosition(std::size_t position) noexcept;

private:
    std::size_t clusterEnd(std::size_t start);

    std::string_view text_;
    std::size_t position_ = 0;
    struct Breaks;
    std::unique_ptr<Breaks> breaks_;  // made on the first character outside ASCII
};

// Properties of one character. Letter, number, white space and newline are the properties of
// its first scalar; they are false for the empty text.
bool isLetter(std::string_view character) noexcept;      // Alphabetic
bool isNumber(std::string_view character) noexcept;      // any numeric type
bool isWhitespace(std::string_view character) noexcept;  // White_Space
bool isNewline(std::string_view character) noexcept;     // U+000A to U+000D, U+0085, U+2028, U+2029
bool isUppercase(std::string_view character) noexcept;   // Uppercase
// Whether any scalar has the Emoji or Emoji_Presentation property ("#" and "*" do).
bool containsEmoji(std::string_view character) noexcept;
// Whether every scalar is a combining mark (Mn, Mc, Me); false for the empty text.
bool isCombiningMarksOnly(std::string_view character) noexcept;

}  // namespace platform
