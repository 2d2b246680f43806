#include "Platform/desktop/wayland/WaylandVirtualKeyboard.h"

#include <QDeadlineTimer>
#include <chrono>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/XkbKeymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace platform {
namespace {

constexpr std::chrono::milliseconds kNewSeatKeyboardSettle{500};

std::uint32_t milliseconds() {
    using namespace std::chrono;
    return std::uint32_t(duration_cast<std::chrono::milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The keymap as the protocol takes it: a file holding the text and its terminating NUL.
int keymapFile(const std::string& text) {
    const int fd = memfd_create("parloquin-keymap", MFD_CLOEXEC);
    if (fd < 0) return -1;
    const char* data = text.c_str();
    std::size_t left = text.size() + 1;
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written <= 0) {
            ::close(fd);
            return -1;
        }
        data += written;
        left -= std::size_t(written);
    }
    return fd;
}

}  // namespace

std::unique_ptr<WaylandVirtualKeyboard> WaylandVirtualKeyboard::create(std::shared_ptr<WaylandConnection> connection) {
    if (!connection) connection = WaylandConnection::open();
    if (!connection || connection->seat() == nullptr) return nullptr;
    auto keymap = XkbKeymap::standard();
    if (!keymap) return nullptr;
    const std::string text = keymap->text();
    const int fd = keymapFile(text);
    if (fd < 0) return nullptr;
    auto* manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
        connection->bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (manager == nullptr) {
        ::close(fd);
        return nullptr;
    }
    const bool seatHadKeyboard = (connection->seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, connection->seat());
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, std::uint32_t(text.size() + 1));
    ::close(fd);  // the request holds a copy
    // The compositor sets the keyboard up when it has read the keymap; a key sent before is lost.
    // A first (empty) modifier state makes it the seat's active keyboard, so that the focused
    // window has its keymap before the first key too. A compositor that refuses answers with a
    // protocol error, which ends this connection.
    bool answered = connection->roundtrip();
    if (answered) {
        zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
        answered = connection->roundtrip();
    }
    if (!answered) {
        zwp_virtual_keyboard_v1_destroy(keyboard);
        zwp_virtual_keyboard_manager_v1_destroy(manager);
        return nullptr;
    }
    // A seat that had no keyboard before (a desktop without one plugged in) has just gained one:
    // every client now makes its keyboard object, and keys sent before a client has it never
    // reach that client. They are given the time to.
    if (!seatHadKeyboard) {
        QDeadlineTimer settled(kNewSeatKeyboardSettle);
        while (!settled.hasExpired() && connection->dispatchOnce(std::chrono::milliseconds(settled.remainingTime()))) {
        }
    }
    return std::unique_ptr<WaylandVirtualKeyboard>(
        new WaylandVirtualKeyboard(std::move(connection), manager, keyboard, std::move(keymap)));
}

WaylandVirtualKeyboard::WaylandVirtualKeyboard(std::shared_ptr<WaylandConnection> connection,
                                               zwp_virtual_keyboard_manager_v1* manager,
                                               zwp_virtual_keyboard_v1* keyboard, std::unique_ptr<XkbKeymap> keymap)
    : connection_(std::move(connection)), manager_(manager), keyboard_(keyboard), keymap_(std::move(keymap)) {}

WaylandVirtualKeyboard::~WaylandVirtualKeyboard() {
    zwp_virtual_keyboard_v1_destroy(keyboard_);
    zwp_virtual_keyboard_manager_v1_destroy(manager_);
    connection_->flush();
}

bool WaylandVirtualKeyboard::sendKey(std::uint32_t evdevCode, bool pressed) {
    if (connection_->isBroken()) return false;
    zwp_virtual_keyboard_v1_key(keyboard_, milliseconds(), evdevCode,
                                pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    const XkbKeymap::Modifiers modifiers = keymap_->update(evdevCode, pressed);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, modifiers.depressed, modifiers.latched, modifiers.locked,
                                      modifiers.group);
    connection_->flush();
    return !connection_->isBroken();
}

}  // namespace platform
