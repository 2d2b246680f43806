#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/text/NSTextCheckingResult.h"

namespace platform {

// A compiled regular expression in ICU syntax ("\b" a word boundary, "\s" white space, Unicode
// letters count as word characters). Immutable once made; one instance may serve several threads.
class NSRegularExpression {
public:
    enum Options : unsigned {
        caseInsensitive = 1u << 0,
    };

    // Throws NSError (domain "NSCocoaErrorDomain", code 2048) when the pattern does not compile.
    explicit NSRegularExpression(std::string_view pattern, unsigned options = 0);
    ~NSRegularExpression();
    NSRegularExpression(NSRegularExpression&&) noexcept;
    NSRegularExpression& operator=(NSRegularExpression&&) noexcept;

    // Every match in the whole text replaced by the template, in which "$n" stands for a captured
    // group and a backslash takes the next character literally. Text that is not UTF-8 has its
    // ill-formed bytes replaced by U+FFFD.
    std::string stringByReplacingMatches(std::string_view text, std::string_view replacementTemplate) const;

    // Every match in the whole text, first to last, with ranges in bytes of the UTF-8 text.
    std::vector<NSTextCheckingResult> matches(std::string_view text) const;

    // The text as a pattern that matches it literally.
    static std::string escapedPattern(std::string_view text);
    // The text as a replacement template that inserts it literally.
    static std::string escapedTemplate(std::string_view text);

    const std::string& pattern() const noexcept { return pattern_; }

private:
    std::string pattern_;
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

}  // namespace platform
