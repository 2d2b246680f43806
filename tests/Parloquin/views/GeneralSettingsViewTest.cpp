// The general page as a person uses it: each switch and picker, what it shows, what it writes and
// how it follows changes made elsewhere; the task bar entry, the start at login and the reset.
#include "Parloquin/views/GeneralSettingsView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "Parloquin/views/SegmentedPicker.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/ThemeColors.h"
#include "Parloquin/views/ToggleSwitch.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Platform/desktop/EventLoopWait.h"

namespace {

using parloquin::ActivationPolicy;
using parloquin::GeneralSettingsView;
using parloquin::SegmentedPicker;
using parloquin::ToggleSwitch;
using parloquin_test::drainEventLoop;
using parloquin_test::PageFixture;
using Value = platform::UserDefaults::Value;

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GeneralSettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        page = std::make_unique<GeneralSettingsView>(fixture.context());
        page->resize(720, 640);
        page->show();
        drainEventLoop();
    }

    void click(QWidget* control) { parloquin_test::clickOnPage(*page, control); }
    void choose(const std::string& key, const QString& value) {
        auto* picker = qobject_cast<SegmentedPicker*>(page->control(key));
        ASSERT_TRUE(picker);
        click(picker->segment(value));
    }
    bool isOn(const std::string& key) const { return static_cast<ToggleSwitch*>(page->control(key))->isChecked(); }
    QString chosen(const std::string& key) const { return static_cast<SegmentedPicker*>(page->control(key))->value(); }
    platform::UserDefaults& defaults() { return fixture.store.defaults(); }

    PageFixture fixture;
    std::unique_ptr<GeneralSettingsView> page;
};

TEST_F(GeneralSettingsViewTest, EachSettingHasItsControlWritesAtOnceAndFollowsChangesElsewhere) {
    struct Row {
        std::string key;
        const char* name;  // what assistive technology reads: the row's title
        Value shown;       // with nothing stored
        Value other;       // another value, set by the user and from elsewhere
    };
    const std::vector<Row> rows = {
        {"autoSendText", "TEXT AUTOMATISCH SENDEN", Value(false), Value(true)},
        {"privacyModeEnabled", "DATENSCHUTZMODUS (KEIN VERLAUF)", Value(false), Value(true)},
        {"postProcessingEnabled", "TEXT-FORMATIERUNG", Value(true), Value(false)},
        {"postProcessingMode", "TEXT-FORMATIERUNG", Value(std::string("smart_text")), Value(std::string("code"))},
        {"automaticUpdates", "AUTOMATISCHE UPDATES", Value(true), Value(false)},
        {"showDockIcon", "TASKLEISTEN-SYMBOL ANZEIGEN", Value(false), Value(true)},
        {"launchAtLogin", "BEI ANMELDUNG STARTEN", Value(false), Value(true)},
        {"recordingOverlayStyle", "AUFNAHME-OVERLAY", Value(std::string("default")), Value(std::string("compact"))},
        {"showRecordingTimer", "AUFNAHME-TIMER", Value(false), Value(true)},
        {"shareAnalytics", "ANONYMISIERTE ANALYSEN TEILEN", Value(false), Value(true)},
        {"spokenFormattingCommandsEnabled", "SPRACHBEFEHLE FÜR FORMATIERUNG", Value(true), Value(false)},
        {"showFloatingDictationControl", "SCHWEBENDEN AUFNAHMEKNOPF ANZEIGEN", Value(true), Value(false)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        QWidget* control = page->control(row.key);
        ASSERT_TRUE(control);
        EXPECT_EQ(control->accessibleName().toStdString(), row.name);
        const bool isSwitch = std::holds_alternative<bool>(row.shown);
        auto shows = [&](const Value& value) {
            return isSwitch ? isOn(row.key) == std::get<bool>(value)
                            : chosen(row.key).toStdString() == std::get<std::string>(value);
        };
        EXPECT_TRUE(shows(row.shown));

        // The user changes it: the key holds the new value at once.
        if (isSwitch)
            click(control);
        else
            choose(row.key, QString::fromStdString(std::get<std::string>(row.other)));
        EXPECT_EQ(defaults().object(row.key), row.other);
        drainEventLoop();
        EXPECT_TRUE(shows(row.other));

        // Changed elsewhere (another page, the tray, the settings file): the control moves.
        ASSERT_TRUE(defaults().set(row.key, row.shown));
        drainEventLoop();
        EXPECT_TRUE(shows(row.shown));
    }
}

TEST_F(GeneralSettingsViewTest, BannerAndModePickerFollowTheirSwitches) {
    EXPECT_FALSE(page->privacyBanner()->isVisible());
    click(page->control("privacyModeEnabled"));
    drainEventLoop();
    EXPECT_TRUE(page->privacyBanner()->isVisible());
    ASSERT_TRUE(defaults().setBool("privacyModeEnabled", false));
    drainEventLoop();
    EXPECT_FALSE(page->privacyBanner()->isVisible());

    // Formatting off greys out the mode, which keeps its choice.
    choose("postProcessingMode", "email_url");
    click(page->control("postProcessingEnabled"));
    drainEventLoop();
    EXPECT_FALSE(page->control("postProcessingMode")->isEnabled());
    EXPECT_EQ(chosen("postProcessingMode"), "email_url");
    EXPECT_EQ(defaults().stringForKey("postProcessingMode"), "email_url");
    click(page->control("postProcessingEnabled"));
    drainEventLoop();
    EXPECT_TRUE(page->control("postProcessingMode")->isEnabled());
}

TEST_F(GeneralSettingsViewTest, TheTaskBarSwitchSetsThePolicy) {
    click(page->control("showDockIcon"));
    drainEventLoop();
    EXPECT_EQ(fixture.application->policy, ActivationPolicy::regular);
    click(page->control("showDockIcon"));
    drainEventLoop();
    EXPECT_EQ(fixture.application->policy, ActivationPolicy::accessory);
}

TEST_F(GeneralSettingsViewTest, TheLoginSwitchWritesAndRemovesTheAutostartEntry) {
    click(page->control("launchAtLogin"));
    drainEventLoop();
    ASSERT_TRUE(std::filesystem::exists(fixture.autostartEntry()));
    EXPECT_EQ(contents(fixture.autostartEntry()), platform::SMAppService::desktopEntry("/opt/parloquin/parloquin"));
    click(page->control("launchAtLogin"));
    drainEventLoop();
    EXPECT_FALSE(std::filesystem::exists(fixture.autostartEntry()));
    EXPECT_TRUE(fixture.alerts->shown.empty());
}

// The switch shows what the desktop will do at login, not what was stored last: the entry may have
// been removed or switched off in the desktop's settings, or written by hand. The stored value
// follows the entry, and the entry is left as it is.
TEST_F(GeneralSettingsViewTest, TheLoginSwitchShowsWhetherTheDesktopStartsParloquin) {
    const std::string ours = platform::SMAppService::desktopEntry("/opt/parloquin/parloquin");
    struct Case {
        const char* name;
        bool stored;
        std::optional<std::string> entry;  // nothing: no file
        bool shown;
    };
    const Case cases[] = {
        {"stored on, no entry", true, std::nullopt, false},
        {"stored on, entry switched off", true, ours + "Hidden=true\n", false},
        {"stored off, entry there", false, ours, true},
        {"stored on, entry there", true, ours, true},
        {"stored off, no entry", false, std::nullopt, false},
    };
    std::filesystem::create_directories(fixture.autostartEntry().parent_path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page.reset();
        ASSERT_TRUE(defaults().setBool("launchAtLogin", c.stored));
        std::filesystem::remove(fixture.autostartEntry());
        if (c.entry) std::ofstream(fixture.autostartEntry()) << *c.entry;

        page = std::make_unique<GeneralSettingsView>(fixture.context());
        drainEventLoop();
        EXPECT_EQ(isOn("launchAtLogin"), c.shown);
        EXPECT_EQ(defaults().boolForKey("launchAtLogin"), c.shown);
        EXPECT_EQ(std::filesystem::exists(fixture.autostartEntry()), c.entry.has_value());
        if (c.entry) {
            EXPECT_EQ(contents(fixture.autostartEntry()), *c.entry);
        }
    }
    EXPECT_TRUE(fixture.alerts->shown.empty());
}

// The autostart folder cannot be made (a file stands where it belongs; permissions would not stop
// root): the user is told why, and the switch and the setting are off again.
TEST_F(GeneralSettingsViewTest, ALoginItemThatCannotBeWrittenIsShownAndSwitchedBack) {
    std::ofstream(fixture.home / "autostart") << "not a folder";
    click(page->control("launchAtLogin"));
    drainEventLoop();
    ASSERT_EQ(fixture.alerts->shown.size(), 1u);
    const auto& alert = fixture.alerts->shown.front();
    EXPECT_EQ(alert.messageText, "Start bei der Anmeldung konnte nicht eingerichtet werden");
    EXPECT_NE(alert.informativeText.find("Not a directory"), std::string::npos) << alert.informativeText;
    EXPECT_FALSE(isOn("launchAtLogin"));
    EXPECT_FALSE(defaults().boolForKey("launchAtLogin"));
    // Putting the switch back is not taken for another request.
    drainEventLoop();
    EXPECT_EQ(fixture.alerts->shown.size(), 1u);
}

// The reset button's red fill starts in the column where the texts of the page start.
TEST_F(GeneralSettingsViewTest, TheResetButtonLinesUpWithTheTexts) {
    QWidget* content = page->widget();
    QWidget* button = page->resetButton();
    QLabel* title = nullptr;
    for (QLabel* label : button->parentWidget()->findChildren<QLabel*>())
        if (label->text() == QString::fromUtf8("ZURÜCKSETZEN")) title = label;
    ASSERT_TRUE(title);
    const int column = title->mapTo(content, QPoint(0, 0)).x();
    const QImage picture = content->grab().toImage();
    const int y = button->mapTo(content, button->rect().center()).y();
    const QColor red = parloquin::ThemeColors::shared().red;
    auto isFill = [&](int x) {
        const QColor pixel =
            picture.pixelColor(x * picture.width() / content->width(), y * picture.height() / content->height());
        return std::abs(pixel.red() - red.red()) <= 8 && std::abs(pixel.green() - red.green()) <= 8 &&
               std::abs(pixel.blue() - red.blue()) <= 8;
    };
    EXPECT_FALSE(isFill(column - 1));
    EXPECT_TRUE(isFill(column));
    EXPECT_TRUE(isFill(column + 1));
}

TEST_F(GeneralSettingsViewTest, ResetConfirmedBringsBackEveryDefaultAndTheDesktopFollows) {
    click(page->control("showDockIcon"));
    click(page->control("launchAtLogin"));
    click(page->control("autoSendText"));
    choose("recordingOverlayStyle", "hidden");
    choose("postProcessingMode", "raw");
    ASSERT_TRUE(defaults().setString("primaryHotkey", "⌥Space"));  // another page's
    drainEventLoop();
    ASSERT_EQ(fixture.application->policy, ActivationPolicy::regular);
    ASSERT_TRUE(std::filesystem::exists(fixture.autostartEntry()));

    click(page->resetButton());
    ASSERT_EQ(fixture.alerts->shown.size(), 1u);
    EXPECT_EQ(fixture.alerts->shown.front().messageText, "Einstellungen zurücksetzen");
    drainEventLoop();
    for (const auto& field : parloquin::GeneralSettings::fields())
        EXPECT_EQ(defaults().object(field.key), field.defaultValue) << field.key;
    EXPECT_FALSE(isOn("showDockIcon"));
    EXPECT_EQ(chosen("recordingOverlayStyle"), "default");
    EXPECT_EQ(fixture.application->policy, ActivationPolicy::accessory);
    EXPECT_FALSE(std::filesystem::exists(fixture.autostartEntry()));
    EXPECT_EQ(defaults().stringForKey("primaryHotkey"), "⌥Space");
}

TEST_F(GeneralSettingsViewTest, ResetCancelledChangesNothing) {
    click(page->control("showDockIcon"));
    click(page->control("shareAnalytics"));
    drainEventLoop();
    const std::string before = contents(defaults().storePath());
    fixture.alerts->response = parloquin::alertFirstButtonReturn + 1;  // "Abbrechen"
    click(page->resetButton());
    drainEventLoop();
    EXPECT_EQ(fixture.alerts->shown.size(), 1u);
    EXPECT_EQ(contents(defaults().storePath()), before);
    EXPECT_TRUE(isOn("shareAnalytics"));
    EXPECT_EQ(fixture.application->policy, ActivationPolicy::regular);
}

// Writing the same values again is no change: the task bar and the login item are left alone.
TEST_F(GeneralSettingsViewTest, ResetAtTheDefaultsTouchesNeitherTaskBarNorLoginItem) {
    fixture.application->policy = ActivationPolicy::regular;  // whatever the window set
    std::filesystem::create_directories(fixture.autostartEntry().parent_path());
    std::ofstream(fixture.autostartEntry()) << "left by hand";
    click(page->resetButton());
    drainEventLoop();
    EXPECT_EQ(fixture.application->policy, ActivationPolicy::regular);
    EXPECT_TRUE(std::filesystem::exists(fixture.autostartEntry()));
}

}  // namespace
