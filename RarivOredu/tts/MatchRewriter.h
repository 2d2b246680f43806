#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Platform/text/NSRegularExpression.h"

namespace rarivoredu {

// The text with every match of the expression replaced by what `replacement` answers for it
// (given the match and the whole text); a match it answers nothing for stays as it is.
template <typename Replacement>
std::string rewriteMatches(const platform::NSRegularExpression& expression, std::string_view text,
                           Replacement&& replacement) {
    const auto matches = expression.matches(text);
    if (matches.empty()) return std::string(text);
    std::string rewritten;
    rewritten.reserve(text.size() + text.size() / 4);
    std::size_t copied = 0;
    for (const auto& match : matches) {
        const platform::NSRange whole = match.range();
        std::optional<std::string> replaced = replacement(match, text);
        if (!replaced) continue;
        rewritten.append(text.substr(copied, whole.location - copied));
        rewritten.append(*replaced);
        copied = whole.end();
    }
    rewritten.append(text.substr(copied));
    return rewritten;
}

}  // namespace rarivoredu
