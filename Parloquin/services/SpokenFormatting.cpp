#include "Parloquin/services/SpokenFormatting.h"

#include <vector>

#include "Platform/system/NSError.h"
#include "Platform/text/NSRegularExpression.h"
#include "Platform/text/UnicodeText.h"

namespace parloquin {
namespace {

using platform::NSRegularExpression;

struct Rule {
    const char* pattern;
    const char* replacement;
};

constexpr Rule kParagraphCommands[] = {
    {"\\bneuer\\s+absatz\\b", "\n\n"},
    {"\\bneuen\\s+absatz\\b", "\n\n"},
    {"\\babsatz\\b", "\n\n"},
};

constexpr Rule kLineCommands[] = {
    {"\\bzeilenumbruch\\b", "\n"},
    {"\\bneue\\s+zeile\\b", "\n"},
    {"\\bnächste\\s+zeile\\b", "\n"},
    {"\\bumbruch\\b", "\n"},
};

constexpr Rule kWhitespaceRules[] = {
    {"[ \\t]+\\n", "\n"},
    {"\\n[ \\t]+", "\n"},
    {"\\n{3,}", "\n\n"},
    {"[ \\t]{2,}", " "},
};

struct CompiledRule {
    NSRegularExpression expression;
    std::string replacement;
};

// A pattern that does not compile is left out; the others still apply.
template <std::size_t N>
std::vector<CompiledRule> compile(const Rule (&rules)[N], unsigned options) {
    std::vector<CompiledRule> compiled;
    for (const Rule& rule : rules) {
        try {
            compiled.push_back({NSRegularExpression(rule.pattern, options), rule.replacement});
        } catch (const platform::NSError&) {
        }
    }
    return compiled;
}

std::string applyAll(const std::vector<CompiledRule>& rules, std::string text) {
    for (const CompiledRule& rule : rules) text = rule.expression.stringByReplacingMatches(text, rule.replacement);
    return text;
}

const std::vector<CompiledRule>& formattingRules() {
    static const std::vector<CompiledRule> rules = [] {
        std::vector<CompiledRule> all = compile(kParagraphCommands, NSRegularExpression::caseInsensitive);
        for (CompiledRule& rule : compile(kLineCommands, NSRegularExpression::caseInsensitive)) {
            all.push_back(std::move(rule));
        }
        return all;
    }();
    return rules;
}

const std::vector<CompiledRule>& whitespaceRules() {
    static const std::vector<CompiledRule> rules = compile(kWhitespaceRules, 0);
    return rules;
}

}  // namespace

std::string SpokenFormatting::applySpokenFormattingCommands(std::string_view text, bool enabled) {
    if (!enabled) return std::string(text);
    return cleanWhitespace(applyAll(formattingRules(), std::string(text)));
}

std::string SpokenFormatting::cleanWhitespace(std::string_view text) {
    return platform::trimmingWhitespaceAndNewlines(applyAll(whitespaceRules(), std::string(text)));
}

}  // namespace parloquin
