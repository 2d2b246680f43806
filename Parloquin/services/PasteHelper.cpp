#include "Parloquin/services/PasteHelper.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "Parloquin/services/TextDelivery.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/settings/SettingsTable.h"
#include "Platform/system/UserDefaults.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11PermissionProbe.h"

namespace parloquin {
namespace {

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
            [] { return SettingsTable::text(platform::UserDefaults::standard(), settings::kRemoteDesktopRestoreToken); },
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
