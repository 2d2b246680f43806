#include "Platform/desktop/wayland/KWinFakeInputKeyboard.h"

#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "Platform/desktop/wayland/WaylandConnection.h"
#include "Platform/desktop/wayland/XkbKeymap.h"
#include "fake-input-client-protocol.h"

namespace platform {
namespace {

constexpr std::uint32_t kKeyboardKeyVersion = 4;

struct LetterKey {
    std::uint16_t virtualKeyCode;
    char letter;
};

// The letter keys by virtual key code (their place on a US keyboard); an XKB keysym of a lower-case
// letter is its ASCII code.
constexpr LetterKey kLetters[] = {
    {0, 'a'},  {1, 's'},  {2, 'd'},  {3, 'f'},  {4, 'h'},  {5, 'g'},  {6, 'z'},  {7, 'x'},  {8, 'c'},
    {9, 'v'},  {11, 'b'}, {12, 'q'}, {13, 'w'}, {14, 'e'}, {15, 'r'}, {16, 'y'}, {17, 't'}, {31, 'o'},
    {32, 'u'}, {34, 'i'}, {35, 'p'}, {37, 'l'}, {38, 'j'}, {40, 'k'}, {45, 'n'}, {46, 'm'},
};

}  // namespace

std::unique_ptr<KWinFakeInputKeyboard> KWinFakeInputKeyboard::create(std::shared_ptr<WaylandConnection> connection) {
    if (!connection) connection = WaylandConnection::open();
    if (!connection || connection->version(org_kde_kwin_fake_input_interface.name) < kKeyboardKeyVersion) return nullptr;
    auto* input = static_cast<org_kde_kwin_fake_input*>(
        connection->bind(&org_kde_kwin_fake_input_interface, kKeyboardKeyVersion));
    if (input == nullptr) return nullptr;
    org_kde_kwin_fake_input_authenticate(input, "Parloquin", "Diktierten Text an der Schreibmarke einfügen");
    std::unique_ptr<KWinFakeInputKeyboard> keyboard(new KWinFakeInputKeyboard(connection, input));
    if (!connection->roundtrip()) return nullptr;
    return keyboard;
}

KWinFakeInputKeyboard::KWinFakeInputKeyboard(std::shared_ptr<WaylandConnection> connection,
                                             org_kde_kwin_fake_input* input)
    : connection_(std::move(connection)), input_(input) {
    // The seat's keymap tells which key types which letter. A seat that has no keyboard yet has
    // none to tell; the keys then go by position.
    if (connection_->seat() && (connection_->seatCapabilities() & WL_SEAT_CAPABILITY_KEYBOARD) != 0) {
        static constexpr wl_keyboard_listener listener{
            &KWinFakeInputKeyboard::onKeymap,
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
            [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
            [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
            [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
        };
        keyboard_ = wl_seat_get_keyboard(connection_->seat());
        wl_keyboard_add_listener(keyboard_, &listener, this);
    }
}

KWinFakeInputKeyboard::~KWinFakeInputKeyboard() {
    if (keyboard_) wl_keyboard_destroy(keyboard_);
    // Version 4 has no destructor request: the proxy goes, the compositor's object with the connection.
    wl_proxy_destroy(reinterpret_cast<wl_proxy*>(input_));
    connection_->flush();
}

void KWinFakeInputKeyboard::onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                                     std::uint32_t size) {
    auto* self = static_cast<KWinFakeInputKeyboard*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            std::string_view text(static_cast<const char*>(mapped), size);
            if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
            if (auto keymap = XkbKeymap::fromText(text)) self->seatKeymap_ = std::move(keymap);
            munmap(mapped, size);
        }
    }
    ::close(fd);
}

std::optional<std::uint32_t> KWinFakeInputKeyboard::letterCode(std::uint16_t virtualKeyCode) {
    if (seatKeymap_) {
        for (const LetterKey& key : kLetters) {
            if (key.virtualKeyCode != virtualKeyCode) continue;
            if (auto code = seatKeymap_->evdevCodeFor(std::uint32_t(key.letter))) return code;
            break;
        }
    }
    return positionCode(virtualKeyCode);
}

bool KWinFakeInputKeyboard::sendKey(std::uint32_t evdevCode, bool pressed) {
    if (connection_->isBroken()) return false;
    org_kde_kwin_fake_input_keyboard_key(input_, evdevCode,
                                         pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    connection_->flush();
    return !connection_->isBroken();
}

}  // namespace platform
