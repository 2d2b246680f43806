#include "Parloquin/views/GeneralSettings.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/Parloquin/services/StoreFixtures.h"

namespace {

using parloquin::GeneralSettings;
using Value = platform::UserDefaults::Value;

const std::vector<std::pair<std::string, Value>> kDefaults = {
    {"autoSendText", Value(false)},
    {"privacyModeEnabled", Value(false)},
    {"postProcessingEnabled", Value(true)},
    {"postProcessingMode", Value(std::string("smart_text"))},
    {"automaticUpdates", Value(true)},
    {"showDockIcon", Value(false)},
    {"launchAtLogin", Value(false)},
    {"recordingOverlayStyle", Value(std::string("default"))},
    {"showRecordingTimer", Value(false)},
    {"shareAnalytics", Value(false)},
    {"spokenFormattingCommandsEnabled", Value(true)},
    {"showFloatingDictationControl", Value(true)},
};

TEST(GeneralSettingsTest, TwelveSettingsWithTheirDefaultsEachShownOnce) {
    const auto& fields = GeneralSettings::fields();
    ASSERT_EQ(fields.size(), kDefaults.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].key, kDefaults[i].first);
        EXPECT_EQ(fields[i].defaultValue, kDefaults[i].second) << fields[i].key;
    }
    // Every setting has one control: a switch row, the overlay picker, or the mode picker below
    // the formatting switch.
    std::multiset<std::string> shown;
    for (const auto& entry : GeneralSettings::entries()) {
        if (entry.key) shown.insert(entry.key);
        if (entry.below == GeneralSettings::Below::postProcessingModePicker) shown.insert("postProcessingMode");
    }
    std::multiset<std::string> expected;
    for (const auto& [key, value] : kDefaults) expected.insert(key);
    EXPECT_EQ(shown, expected);
}

TEST(GeneralSettingsTest, ResetWritesEveryDefaultInOrderAndLeavesOtherPagesAlone) {
    storetest::Store store;
    auto& defaults = store.defaults();
    for (const auto& [key, value] : kDefaults) {
        if (std::holds_alternative<bool>(value))
            ASSERT_TRUE(defaults.setBool(key, !std::get<bool>(value)));
        else
            ASSERT_TRUE(defaults.setString(key, "raw"));
    }
    ASSERT_TRUE(defaults.setString("primaryHotkey", "⌥Space"));
    std::vector<std::string> order;
    std::vector<platform::UserDefaults::Observation> observations;
    for (const auto& [key, value] : kDefaults)
        observations.push_back(defaults.observe(key, [&](const std::string& k) { order.push_back(k); }));

    EXPECT_TRUE(GeneralSettings::resetToDefaults(defaults));
    for (const auto& [key, value] : kDefaults) EXPECT_EQ(defaults.object(key), value) << key;
    std::vector<std::string> keys;
    for (const auto& [key, value] : kDefaults) keys.push_back(key);
    EXPECT_EQ(order, keys);
    EXPECT_EQ(defaults.stringForKey("primaryHotkey"), "⌥Space");

    // A store that cannot save says so; the reset is made in memory and waits there to be saved.
    ASSERT_TRUE(defaults.setBool("autoSendText", true));
    store.writer().failAt = testsupport::FaultyFileWriter::Step::rename;
    EXPECT_FALSE(GeneralSettings::resetToDefaults(defaults));
    EXPECT_FALSE(defaults.boolForKey("autoSendText"));
    EXPECT_TRUE(defaults.hasUnsavedChanges());
}

TEST(GeneralSettingsTest, QuestionsAndFailuresAsTheUserReadsThem) {
    const auto question = GeneralSettings::resetConfirmation();
    EXPECT_EQ(question.style, parloquin::AlertStyle::warning);
    EXPECT_EQ(question.messageText, "Einstellungen zurücksetzen");
    EXPECT_EQ(question.informativeText,
              "Bist du sicher, dass du alle Einstellungen auf Standardwerte zurücksetzen möchtest?");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Zurücksetzen", "Abbrechen"}));
    EXPECT_TRUE(question.destructive);

    const auto on = GeneralSettings::loginItemFailure(true, "Could not create the folder /x: Not a directory");
    EXPECT_EQ(on.messageText, "Start bei der Anmeldung konnte nicht eingerichtet werden");
    EXPECT_EQ(on.informativeText, "Could not create the folder /x: Not a directory");
    EXPECT_EQ(GeneralSettings::loginItemFailure(false, "x").messageText,
              "Start bei der Anmeldung konnte nicht abgeschaltet werden");
}

}  // namespace
