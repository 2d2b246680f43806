#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform {

// An XKB keymap and a key state on it (libxkbcommon), with keys named by their Linux input event
// codes (evdev), as Wayland sends them.
class XkbKeymap {
public:
    // The modifier and group state to announce after a key.
    struct Modifiers {
        std::uint32_t depressed = 0;
        std::uint32_t latched = 0;
        std::uint32_t locked = 0;
        std::uint32_t group = 0;
    };

    // The US layout of a standard PC keyboard (evdev rules, pc105): the keymap Parloquin's own
    // virtual keyboard types with, whatever layout the user has. nullptr when XKB's data is missing.
    static std::unique_ptr<XkbKeymap> standard();
    // A keymap as the compositor sends it (XKB text format v1); nullptr when it does not compile.
    static std::unique_ptr<XkbKeymap> fromText(std::string_view text);

    ~XkbKeymap();
    XkbKeymap(const XkbKeymap&) = delete;
    XkbKeymap& operator=(const XkbKeymap&) = delete;

    // The keymap in XKB text format v1, as a compositor reads it.
    std::string text() const;
    // The key that types this keysym without modifiers in the first layout, if any.
    std::optional<std::uint32_t> evdevCodeFor(std::uint32_t keysym) const;
    // Records a key going down or up; the modifier state afterwards.
    Modifiers update(std::uint32_t evdevCode, bool pressed);

private:
    XkbKeymap(xkb_context* context, xkb_keymap* keymap);

    xkb_context* context_;
    xkb_keymap* keymap_;
    xkb_state* state_;
};

}  // namespace platform
