#include "Platform/desktop/wayland/XkbKeymap.h"

#include <xkbcommon/xkbcommon.h>

namespace platform {
namespace {

// XKB numbers keys as evdev codes plus 8.
constexpr std::uint32_t kEvdevOffset = 8;

}  // namespace

std::unique_ptr<XkbKeymap> XkbKeymap::standard() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (context == nullptr) return nullptr;
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeymap>(new XkbKeymap(context, keymap));
}

std::unique_ptr<XkbKeymap> XkbKeymap::fromText(std::string_view text) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (context == nullptr) return nullptr;
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(context, text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeymap>(new XkbKeymap(context, keymap));
}

XkbKeymap::XkbKeymap(xkb_context* context, xkb_keymap* keymap)
    : context_(context), keymap_(keymap), state_(xkb_state_new(keymap)) {}

XkbKeymap::~XkbKeymap() {
    if (state_) xkb_state_unref(state_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::string XkbKeymap::text() const {
    char* text = xkb_keymap_get_as_string(keymap_, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (text == nullptr) return {};
    std::string result(text);
    free(text);
    return result;
}

std::optional<std::uint32_t> XkbKeymap::evdevCodeFor(std::uint32_t keysym) const {
    const xkb_keycode_t first = xkb_keymap_min_keycode(keymap_);
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap_);
    for (xkb_keycode_t key = first; key <= last && key >= kEvdevOffset; ++key) {
        const xkb_keysym_t* symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap_, key, 0, 0, &symbols);
        for (int i = 0; i < count; ++i) {
            if (symbols[i] == keysym) return key - kEvdevOffset;
        }
    }
    return std::nullopt;
}

XkbKeymap::Modifiers XkbKeymap::update(std::uint32_t evdevCode, bool pressed) {
    if (state_ == nullptr) return {};
    xkb_state_update_key(state_, evdevCode + kEvdevOffset, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    return {xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE)};
}

}  // namespace platform
