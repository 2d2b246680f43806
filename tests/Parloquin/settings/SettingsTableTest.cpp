#include "Parloquin/settings/SettingsTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "Parloquin/settings/SettingsKeys.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin::SettingsTable;
using Value = SettingsTable::Value;

// How the README writes a default: `true`, `49`, `"auto"`, or absent.
std::string readmeText(const SettingsTable::Setting& setting) {
    if (!setting.defaultValue) return "absent";
    const Value& value = *setting.defaultValue;
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "`true`" : "`false`";
    if (const std::int64_t* number = std::get_if<std::int64_t>(&value)) return "`" + std::to_string(*number) + "`";
    return "`\"" + std::get<std::string>(value) + "\"`";
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The rows of the table under "## Settings" whose header is "| Key | Default | Effect |": key to
// default, each key once.
std::map<std::string, std::string> readmeSettings() {
    std::ifstream file(std::string(PARLOQUIN_SOURCE_DIR) + "/README.md");
    EXPECT_TRUE(file.is_open()) << "README.md cannot be read";
    std::map<std::string, std::string> rows;
    std::string line;
    bool inSection = false, inTable = false;
    while (std::getline(file, line)) {
        if (line.rfind("## ", 0) == 0) {
            inSection = line == "## Settings";
            inTable = false;
            continue;
        }
        if (!inSection) continue;
        if (line == "| Key | Default | Effect |") {
            inTable = true;
            continue;
        }
        if (!inTable) continue;
        if (line.rfind("|", 0) != 0) break;  // the end of the table
        if (line.rfind("|---", 0) == 0) continue;
        std::vector<std::string> cells;
        std::stringstream stream(line.substr(1));
        std::string cell;
        while (std::getline(stream, cell, '|')) cells.push_back(trimmed(cell));
        EXPECT_GE(cells.size(), 3u) << line;
        if (cells.size() < 3) continue;
        EXPECT_FALSE(cells[2].empty()) << "the README says nothing of " << cells[0];
        const std::string& key = cells[0];
        EXPECT_TRUE(key.size() > 2 && key.front() == '`' && key.back() == '`') << line;
        EXPECT_TRUE(rows.emplace(key.substr(1, key.size() - 2), cells[1]).second) << "twice in the README: " << key;
    }
    return rows;
}

TEST(SettingsTableTest, ReadmeListsEverySettingWithItsDefault) {
    std::map<std::string, std::string> readme = readmeSettings();
    ASSERT_FALSE(readme.empty()) << "README.md has no settings table under \"## Settings\"";
    for (const SettingsTable::Setting& setting : SettingsTable::all()) {
        const auto row = readme.find(setting.key);
        if (row == readme.end()) {
            ADD_FAILURE() << "README.md does not list " << setting.key;
            continue;
        }
        EXPECT_EQ(row->second, readmeText(setting)) << setting.key;
        readme.erase(row);
    }
    for (const auto& [key, text] : readme) ADD_FAILURE() << "README.md lists " << key << ", which is no setting";
}

TEST(SettingsTableTest, EachKeyOnceWithADefaultOfItsType) {
    std::map<std::string, int> seen;
    for (const SettingsTable::Setting& setting : SettingsTable::all()) {
        EXPECT_EQ(++seen[setting.key], 1) << setting.key;
        EXPECT_TRUE(setting.note && *setting.note) << setting.key;
        if (!setting.defaultValue) {
            EXPECT_FALSE(setting.registered) << setting.key << " has no default to register";
            continue;
        }
        const Value& value = *setting.defaultValue;
        switch (setting.type) {
            case SettingsTable::Type::flag: EXPECT_TRUE(std::holds_alternative<bool>(value)) << setting.key; break;
            case SettingsTable::Type::integer:
                EXPECT_TRUE(std::holds_alternative<std::int64_t>(value)) << setting.key;
                break;
            case SettingsTable::Type::text:
                EXPECT_TRUE(std::holds_alternative<std::string>(value)) << setting.key;
                break;
        }
    }
}

// The typed reads answer with what is stored, else registered, else the table's default.
TEST(SettingsTableTest, TypedReadsFallBackOnTheTable) {
    namespace keys = parloquin::settings;
    testsupport::TemporaryDirectory folder;
    platform::UserDefaults defaults(folder / "defaults.json");

    // Nothing registered, nothing stored: the table's defaults.
    EXPECT_EQ(SettingsTable::text(defaults, keys::kRecordingMode), "auto");
    EXPECT_EQ(SettingsTable::text(defaults, keys::kCancelHotkey), "Escape");
    EXPECT_EQ(SettingsTable::text(defaults, keys::kRemoteDesktopRestoreToken), "");
    EXPECT_TRUE(SettingsTable::flag(defaults, keys::kPasteInPlaceMode));
    EXPECT_FALSE(SettingsTable::flag(defaults, keys::kAutoSendText));
    EXPECT_EQ(SettingsTable::integer(defaults, keys::kPrimaryHotkeyModifiers), 0x1800);

    // Registered defaults answer as the store does, stored values before them.
    defaults.registerDefaults(SettingsTable::registeredDefaults());
    EXPECT_EQ(SettingsTable::text(defaults, keys::kPrimaryHotkey), "⌃⌥Space");
    ASSERT_TRUE(defaults.setString(keys::kRecordingMode, "hold"));
    ASSERT_TRUE(defaults.setInteger(keys::kPasteInPlaceMode, 0));  // numbers convert
    ASSERT_TRUE(defaults.setInteger(keys::kCancelHotkey, 3));      // a text of another type reads as the default
    EXPECT_EQ(SettingsTable::text(defaults, keys::kRecordingMode), "hold");
    EXPECT_FALSE(SettingsTable::flag(defaults, keys::kPasteInPlaceMode));
    EXPECT_EQ(SettingsTable::text(defaults, keys::kCancelHotkey), "Escape");

    // A read of the wrong type, or of no setting, is a mistake in the program.
    EXPECT_THROW(SettingsTable::flag(defaults, keys::kRecordingMode), std::logic_error);
    EXPECT_THROW(SettingsTable::text(defaults, "noSuchSetting"), std::logic_error);
}

}  // namespace
