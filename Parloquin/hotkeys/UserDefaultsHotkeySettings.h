#pragma once

#include "Parloquin/hotkeys/HotkeySettings.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// The hotkey settings as the user defaults hold them.
class UserDefaultsHotkeySettings : public HotkeySettings {
public:
    explicit UserDefaultsHotkeySettings(platform::UserDefaults& defaults) : defaults_(defaults) {}

    std::int64_t integer(std::string_view key) const override;
    bool boolean(std::string_view key) const override;
    std::optional<std::string> string(std::string_view key) const override;
    void setInteger(std::string_view key, std::int64_t value) override;
    void setBool(std::string_view key, bool value) override;

private:
    platform::UserDefaults& defaults_;
};

}  // namespace parloquin
