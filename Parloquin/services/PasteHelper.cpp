#include "Parloquin/services/PasteHelper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "Parloquin/services/TextDelivery.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Platform/system/UserDefaults.h"
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

// Window classes of terminal emulators, in lower case, besides those whose name begins or ends
// with "term" or holds "terminal" (xterm, uxterm, gnome-terminal, xfce4-terminal, terminator,
// wezterm …).
constexpr const char* kTerminalClasses[] = {
    "urxvt", "rxvt", "konsole", "kitty", "alacritty", "st", "st-256color", "tilix", "guake", "tilda",
    "yakuake", "sakura", "foot", "kgx", "org.gnome.console", "ptyxis", "org.gnome.ptyxis",
    "com.raggesilver.blackbox", "io.elementary.terminal", "cool-retro-term",
};

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

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

// A paste is possible where one of the delivery's routes works in this session; watching input is
// the X server's matter, as before.
class DeliveryPermissionProbe : public platform::PermissionProbe {
public:
    DeliveryPermissionProbe(std::shared_ptr<TextDelivery> delivery, std::shared_ptr<platform::X11Connection> x11)
        : delivery_(std::move(delivery)), x11_(std::move(x11)) {}
    bool isAccessibilityTrusted(bool) override { return delivery_->canPaste(); }
    bool canMonitorInput() override { return x11_.canMonitorInput(); }

private:
    std::shared_ptr<TextDelivery> delivery_;
    platform::X11PermissionProbe x11_;
};

std::optional<PasteHelper::Desktop>& currentDesktop() {
    static std::optional<PasteHelper::Desktop> desktop;
    return desktop;
}

}  // namespace

const PasteHelper::Desktop& PasteHelper::desktop() {
    std::optional<Desktop>& desktop = currentDesktop();
    if (!desktop) {
        auto connection = platform::X11Connection::shared();
        platform::RemoteDesktopPortalKeyboard::TokenStore tokens{
            [] { return platform::UserDefaults::standard().stringForKey(settings::kRemoteDesktopRestoreToken).value_or(""); },
            [](const std::string& token) {
                platform::UserDefaults::standard().set(settings::kRemoteDesktopRestoreToken,
                                                       platform::UserDefaults::Value(token));
            }};
        auto delivery = TextDelivery::forSession(nullptr, std::move(tokens));
        desktop = Desktop{platform::NSPasteboard::general(), delivery,
                          std::make_shared<DeliveryPermissionProbe>(delivery, connection),
                          platform::NSPasteboard::selection()};
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

PasteHelper::PasteResult PasteHelper::pasteAtCursor(const std::string& text) {
    const Desktop& services = desktop();
    const PasteChord chord =
        pasteChord(services.keyboard ? services.keyboard->focusedWindowClass() : std::vector<std::string>());
    if (!copyToClipboard(text)) return PasteResult::notCopied;
    if (!services.keyboard || !services.keyboard->reachesFocusedWindow()) return PasteResult::copiedOnly;
    if (chord.pastesSelection) {
        if (!services.selection || !services.selection->setString(text)) return PasteResult::notCopied;
    }
    pressKey(chord.virtualKeyCode, chord.flags);
    return PasteResult::pasted;
}

bool PasteHelper::copyToClipboard(const std::string& text) {
    const Desktop& services = desktop();
    if (!services.pasteboard) return false;
    services.pasteboard->clearContents();
    return services.pasteboard->setString(text);
}

bool PasteHelper::isAnyKeyDown() {
    const Desktop& services = desktop();
    return services.keyboard && services.keyboard->isAnyKeyDown();
}

bool PasteHelper::isTerminal(const std::vector<std::string>& windowClass) {
    for (const std::string& name : windowClass) {
        const std::string lower = lowercase(name);
        const std::string_view view(lower);
        if (view.starts_with("term") || view.ends_with("term") || view.find("terminal") != std::string_view::npos)
            return true;
        for (const char* terminal : kTerminalClasses)
            if (lower == terminal) return true;
    }
    return false;
}

PasteHelper::PasteChord PasteHelper::pasteChord(const std::vector<std::string>& windowClass) {
    return isTerminal(windowClass) ? kShiftInsert : kControlV;
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
