#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"

namespace parloquin {

std::int64_t UserDefaultsHotkeySettings::integer(std::string_view key) const {
    return defaults_.integerForKey(std::string(key));
}

bool UserDefaultsHotkeySettings::boolean(std::string_view key) const {
    return defaults_.boolForKey(std::string(key));
}

std::optional<std::string> UserDefaultsHotkeySettings::string(std::string_view key) const {
    return defaults_.stringForKey(std::string(key));
}

void UserDefaultsHotkeySettings::setInteger(std::string_view key, std::int64_t value) {
    defaults_.setInteger(std::string(key), value);
}

void UserDefaultsHotkeySettings::setBool(std::string_view key, bool value) {
    defaults_.setBool(std::string(key), value);
}

}  // namespace parloquin
