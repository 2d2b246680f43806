#pragma once

#include <string>
#include <vector>

#include "Parloquin/settings/SettingsTable.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

// One setting a page keeps: its key and its default, as the settings table declares them.
struct SettingField {
    using Value = platform::UserDefaults::Value;

    std::string key;
    Value defaultValue;

    // The settings of one page, in the table's order.
    static std::vector<SettingField> fieldsOf(SettingsTable::Page page);
    // The default declared for the key; false for a key that is none of the fields.
    static Value defaultFor(const std::vector<SettingField>& fields, const std::string& key);
    // Writes every field's default, in order; keys of other pages stay. False when a write failed
    // (the others are written all the same).
    static bool writeDefaults(platform::UserDefaults& defaults, const std::vector<SettingField>& fields);
};

}  // namespace parloquin
