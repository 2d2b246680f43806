#include "Parloquin/hotkeys/DefaultHotkey.h"

#include <filesystem>
#include <system_error>

#include "Parloquin/settings/SettingsKeys.h"

namespace parloquin {

bool DefaultHotkey::storeForUserWithoutOne(platform::UserDefaults& defaults) {
    using Value = platform::UserDefaults::Value;
    // The store writes its file with the first value it keeps: a file means Parloquin ran before.
    std::error_code error;
    const bool earlierUser = std::filesystem::exists(defaults.storePath(), error);
    const char* display = earlierUser ? earlierDisplay : DefaultHotkey::display;
    const HotkeyTriple& triple = earlierUser ? earlierValues : values;
    // Each of the four on its own: a store may hold some of them (a text edited by hand).
    const std::pair<const char*, Value> keys[] = {
        {settings::kPrimaryHotkey, Value(std::string(display))},
        {settings::kPrimaryHotkeyKeyCode, Value(std::int64_t(triple.keyCode))},
        {settings::kPrimaryHotkeyModifiers, Value(std::int64_t(triple.modifiers))},
        {settings::kPrimaryHotkeyIsSingleKey, Value(triple.isSingleKey)},
    };
    bool written = true;
    for (const auto& [key, value] : keys)
        if (!defaults.object(key)) written = defaults.set(key, value) && written;
    return written;
}

}  // namespace parloquin
