#include "Parloquin/views/SettingField.h"

namespace parloquin {

std::vector<SettingField> SettingField::fieldsOf(SettingsTable::Page page) {
    std::vector<SettingField> fields;
    for (const std::string& key : SettingsTable::keysOf(page)) fields.push_back({key, SettingsTable::defaultValue(key)});
    return fields;
}

SettingField::Value SettingField::defaultFor(const std::vector<SettingField>& fields, const std::string& key) {
    for (const SettingField& field : fields)
        if (field.key == key) return field.defaultValue;
    return Value(false);
}

bool SettingField::writeDefaults(platform::UserDefaults& defaults, const std::vector<SettingField>& fields) {
    bool all = true;
    for (const SettingField& field : fields) all &= defaults.set(field.key, field.defaultValue);
    return all;
}

}  // namespace parloquin
