#include "Parloquin/services/PasteHelper.h"

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11PermissionProbe.h"
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

std::optional<PasteHelper::Desktop>& currentDesktop() {
    static std::optional<PasteHelper::Desktop> desktop;
    return desktop;
}

}  // namespace

const PasteHelper::Desktop& PasteHelper::desktop() {
    std::optional<Desktop>& desktop = currentDesktop();
    if (!desktop) {
        auto connection = platform::X11Connection::shared();
        desktop = Desktop{platform::NSPasteboard::general(), platform::SyntheticKeyboard::system(),
                          std::make_shared<platform::X11PermissionProbe>(connection)};
    }
    return *desktop;
}

PasteHelper::Desktop PasteHelper::setDesktop(Desktop replacement) {
    Desktop previous = desktop();
    currentDesktop() = std::move(replacement);
    return previous;
}

std::string PasteHelper::applySpokenFormattingCommands(std::string_view text, bool enabled) {
    if (!enabled) return std::string(text);
    return cleanWhitespace(applyAll(formattingRules(), std::string(text)));
}

std::string PasteHelper::cleanWhitespace(std::string_view text) {
    return platform::trimmingWhitespaceAndNewlines(applyAll(whitespaceRules(), std::string(text)));
}

void PasteHelper::pasteAtCursor(const std::string& text) {
    copyToClipboard(text);
    pressKey(kVirtualKeyV, kPasteFlags);
}

void PasteHelper::copyToClipboard(const std::string& text) {
    const Desktop& services = desktop();
    if (!services.pasteboard) return;
    services.pasteboard->clearContents();
    services.pasteboard->setString(text);
}

bool PasteHelper::checkAccessibilityPermission() {
    const Desktop& services = desktop();
    return services.permissions && services.permissions->isAccessibilityTrusted(false);
}

void PasteHelper::requestAccessibilityPermission() {
    const Desktop& services = desktop();
    if (services.permissions) services.permissions->isAccessibilityTrusted(true);
}

void PasteHelper::pressKey(std::uint16_t virtualKeyCode, platform::CGEventFlags flags) {
    const Desktop& services = desktop();
    if (!services.keyboard) return;
    // A half that cannot be posted leaves the other half still tried.
    services.keyboard->post(platform::CGEvent{platform::CGEventType::keyDown, virtualKeyCode, flags, false});
    std::this_thread::sleep_for(std::chrono::microseconds(10000));
    services.keyboard->post(platform::CGEvent{platform::CGEventType::keyUp, virtualKeyCode, flags, false});
}

}  // namespace parloquin
