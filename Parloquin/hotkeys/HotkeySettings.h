#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Parloquin/settings/SettingsTable.h"

namespace parloquin {

// The stored settings the hotkey manager reads and writes, as the user-defaults store offers them:
// an absent integer reads as 0 and an absent flag as false (registered defaults apply first).
class HotkeySettings {
public:
    virtual ~HotkeySettings() = default;
    virtual std::int64_t integer(std::string_view key) const = 0;
    virtual bool boolean(std::string_view key) const = 0;
    virtual std::optional<std::string> string(std::string_view key) const = 0;
    // The text stored, else the setting's default from SettingsTable.
    std::string text(std::string_view key) const { return string(key).value_or(SettingsTable::defaultText(key)); }
    virtual void setInteger(std::string_view key, std::int64_t value) = 0;
    virtual void setBool(std::string_view key, bool value) = 0;
};

}  // namespace parloquin
