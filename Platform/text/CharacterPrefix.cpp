#include "Platform/text/CharacterPrefix.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/utext.h>

#include <memory>

namespace platform {

std::string_view characterPrefix(std::string_view text, std::int64_t count) {
    if (count <= 0) return text.substr(0, 0);
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), std::int64_t(text.size()), &status);
    if (U_FAILURE(status)) return text;
    std::unique_ptr<icu::BreakIterator> characters(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        utext_close(utext);
        return text;
    }
    characters->setText(utext, status);
    std::int32_t end = characters->first();
    for (std::int64_t i = 0; i < count; ++i) {
        std::int32_t next = characters->next();
        if (next == icu::BreakIterator::DONE) {
            end = std::int32_t(text.size());
            break;
        }
        end = next;
    }
    characters.reset();
    utext_close(utext);
    return text.substr(0, std::size_t(end));
}

}  // namespace platform
