#pragma once

namespace parloquin {

// One choice of a setting's picker: what the segment says and the value it stores.
struct SettingOption {
    const char* label;
    const char* value;
};

}  // namespace parloquin
