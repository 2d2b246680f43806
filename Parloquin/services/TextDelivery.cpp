#include "Parloquin/services/TextDelivery.h"

#include <QDBusConnection>

#include "Platform/desktop/RemoteDesktopPortalKeyboard.h"
#include "Platform/desktop/X11Connection.h"
#include "Platform/desktop/X11PermissionProbe.h"
#include "Platform/desktop/X11SyntheticKeyboard.h"
#include "Platform/desktop/XWaylandFocus.h"
#include "Platform/desktop/wayland/KWinFakeInputKeyboard.h"
#include "Platform/desktop/wayland/WaylandVirtualKeyboard.h"

namespace parloquin {

TextDelivery::TextDelivery(std::vector<Backend> backends) {
    for (Backend& backend : backends) slots_.push_back({std::move(backend), false, nullptr});
}

std::shared_ptr<TextDelivery> TextDelivery::forSession(std::shared_ptr<platform::X11Connection> x11,
                                                       platform::RemoteDesktopPortalKeyboard::TokenStore tokens) {
    if (!x11) x11 = platform::X11Connection::shared();
    const bool wayland = platform::X11PermissionProbe::isWaylandSession();
    std::vector<Backend> backends;
    backends.push_back({Route::xtest,
                        [x11, wayland] { return !wayland || platform::XWaylandFocus::isOnXWindow(x11.get()); },
                        [x11]() -> std::shared_ptr<platform::SyntheticKeyboard> {
                            if (!x11 || !x11->hasXTest()) return nullptr;
                            return std::make_shared<platform::X11SyntheticKeyboard>(x11);
                        }});
    if (wayland) {
        const auto anywhere = [] { return true; };
        backends.push_back({Route::kwinFakeInput, anywhere, [] {
                                return std::shared_ptr<platform::SyntheticKeyboard>(
                                    platform::KWinFakeInputKeyboard::create());
                            }});
        backends.push_back({Route::virtualKeyboard, anywhere, [] {
                                return std::shared_ptr<platform::SyntheticKeyboard>(
                                    platform::WaylandVirtualKeyboard::create());
                            }});
        // Asked for only when no way above serves: making the session shows the desktop's dialog.
        backends.push_back({Route::remoteDesktop, anywhere, [tokens] {
                                return std::shared_ptr<platform::SyntheticKeyboard>(
                                    platform::RemoteDesktopPortalKeyboard::create(QDBusConnection::sessionBus(), tokens));
                            }});
    }
    return std::make_shared<TextDelivery>(std::move(backends));
}

const char* TextDelivery::name(Route route) {
    switch (route) {
        case Route::xtest: return "XTest";
        case Route::kwinFakeInput: return "KWin fake input";
        case Route::virtualKeyboard: return "virtual keyboard";
        case Route::remoteDesktop: return "RemoteDesktop portal";
        case Route::clipboard: return "clipboard";
    }
    return "";
}

platform::SyntheticKeyboard* TextDelivery::keyboard(Slot& slot) {
    if (!slot.opened) {
        slot.opened = true;
        if (slot.backend.open) slot.keyboard = slot.backend.open();
    }
    return slot.keyboard.get();
}

TextDelivery::Slot* TextDelivery::current() {
    for (Slot& slot : slots_) {
        if (slot.backend.reachesFocus && !slot.backend.reachesFocus()) continue;
        if (keyboard(slot) != nullptr && slot.keyboard->reachesFocusedWindow()) return &slot;
    }
    return nullptr;
}

TextDelivery::Route TextDelivery::route() {
    const Slot* slot = current();
    return slot ? slot->backend.route : Route::clipboard;
}

bool TextDelivery::canPaste() {
    // In order, and no further than the first that works: a later route may ask the user.
    for (Slot& slot : slots_)
        if (keyboard(slot) != nullptr) return true;
    return false;
}

bool TextDelivery::post(const platform::CGEvent& event) {
    if (event.type == platform::CGEventType::keyUp && held_ != nullptr) {
        platform::SyntheticKeyboard* keyboard = std::exchange(held_, nullptr);
        return keyboard->post(event);
    }
    Slot* slot = current();
    if (slot == nullptr) return false;
    if (event.type == platform::CGEventType::keyDown) held_ = slot->keyboard.get();
    return slot->keyboard->post(event);
}

bool TextDelivery::isAnyKeyDown() {
    // Only the X server tells which keys are down, and only for its own windows.
    Slot* slot = current();
    return slot != nullptr && slot->backend.route == Route::xtest && slot->keyboard->isAnyKeyDown();
}

std::vector<std::string> TextDelivery::focusedWindowClass() {
    Slot* slot = current();
    if (slot == nullptr || slot->backend.route != Route::xtest) return {};
    return slot->keyboard->focusedWindowClass();
}

bool TextDelivery::reachesFocusedWindow() { return current() != nullptr; }

}  // namespace parloquin
