#include "Platform/text/CharacterIterator.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include "Platform/text/UnicodeScalar.h"

namespace platform {
namespace {

// Making a break iterator costs far more than walking a text, so each thread keeps one.
thread_local std::unique_ptr<icu::BreakIterator> spareIterator;

std::unique_ptr<icu::BreakIterator> takeIterator() {
    if (spareIterator) return std::move(spareIterator);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return nullptr;
    return iterator;
}

}  // namespace

struct CharacterIterator::Breaks {
    UText* text = nullptr;
    std::unique_ptr<icu::BreakIterator> iterator;

    ~Breaks() {
        if (iterator && !spareIterator) spareIterator = std::move(iterator);
        iterator.reset();
        utext_close(text);
    }
};

CharacterIterator::CharacterIterator(std::string_view text) : text_(text) {}

CharacterIterator::~CharacterIterator() = default;

void CharacterIterator::setPosition(std::size_t position) noexcept {
    position_ = position < text_.size() ? position : text_.size();
}

std::optional<std::string_view> CharacterIterator::next() {
    if (position_ >= text_.size()) return std::nullopt;
    const std::size_t start = position_;
    position_ = clusterEnd(start);
    return text_.substr(start, position_ - start);
}

std::size_t CharacterIterator::clusterEnd(std::size_t start) {
    // Between two ASCII characters there is always a boundary, except inside CR LF.
    const auto byte = static_cast<unsigned char>(text_[start]);
    if (byte < 0x80) {
        if (start + 1 >= text_.size()) return start + 1;
        const auto following = static_cast<unsigned char>(text_[start + 1]);
        if (following < 0x80) return (byte == '\r' && following == '\n') ? start + 2 : start + 1;
    }
    if (!breaks_) {
        breaks_ = std::make_unique<Breaks>();
        UErrorCode status = U_ZERO_ERROR;
        breaks_->text = utext_openUTF8(nullptr, text_.data(), static_cast<int64_t>(text_.size()), &status);
        breaks_->iterator = takeIterator();
        if (U_FAILURE(status) || !breaks_->iterator) {
            breaks_->iterator.reset();
        } else {
            breaks_->iterator->setText(breaks_->text, status);
            if (U_FAILURE(status)) breaks_->iterator.reset();
        }
    }
    if (breaks_->iterator) {
        const int32_t end = breaks_->iterator->following(static_cast<int32_t>(start));
        if (end != icu::BreakIterator::DONE && static_cast<std::size_t>(end) > start) {
            return static_cast<std::size_t>(end);
        }
    }
    std::size_t end = start;
    nextScalar(text_, end);
    return end;
}

namespace {

char32_t firstScalar(std::string_view character) noexcept {
    std::size_t position = 0;
    return nextScalar(character, position);
}

}  // namespace

bool isLetter(std::string_view character) noexcept {
    return !character.empty() && isAlphabeticScalar(firstScalar(character));
}

bool isNumber(std::string_view character) noexcept {
    return !character.empty() && hasNumericType(firstScalar(character));
}

bool isWhitespace(std::string_view character) noexcept {
    return !character.empty() && isWhiteSpaceScalar(firstScalar(character));
}

bool isNewline(std::string_view character) noexcept {
    return !character.empty() && isNewlineScalar(firstScalar(character));
}

bool isUppercase(std::string_view character) noexcept {
    return !character.empty() && isUppercaseScalar(firstScalar(character));
}

bool containsEmoji(std::string_view character) noexcept {
    for (std::size_t position = 0; position < character.size();) {
        if (isEmojiScalar(nextScalar(character, position))) return true;
    }
    return false;
}

bool isCombiningMarksOnly(std::string_view character) noexcept {
    if (character.empty()) return false;
    for (std::size_t position = 0; position < character.size();) {
        if (!isCombiningMarkScalar(nextScalar(character, position))) return false;
    }
    return true;
}

}  // namespace platform
