// The audio page over scripted microphones: the list and the choice, the level test, what leaving
// the page does, and the card that leads to the sound settings.
#include "Parloquin/views/AudioSettingsView.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "Parloquin/services/AudioDeviceManager.h"
#include "Parloquin/views/AudioDeviceRow.h"
#include "Parloquin/views/AudioLevelMeter.h"
#include "Parloquin/views/StyledButton.h"
#include "Parloquin/views/ThemeColors.h"
#include "tests/Parloquin/views/DesktopProgramFakes.h"
#include "tests/Parloquin/views/PageFixture.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/support/FakeAudioHardware.h"

namespace {

using parloquin::AudioDeviceRow;
using parloquin::AudioLevelMeter;
using parloquin::AudioSettingsView;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;
using testsupport::FakeAudioHardware;

FakeAudioHardware::Input microphone(const std::string& uid, std::uint32_t id, const std::string& name) {
    FakeAudioHardware::Input input = testsupport::fakeMicrophone(uid, id);
    input.device.name = name;
    return input;
}

class AudioSettingsViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        hardware->setInputs({microphone("builtin", 1, "Eingebautes Mikrofon"), microphone("usb", 2, "USB-Mikrofon")},
                            "builtin");
        hardware->setCapture({48000, 480, std::nullopt, {}});
    }
    void show() {
        parloquin::PageContext context = fixture.context();
        context.audioHardware = hardware;
        context.workspace = workspace;
        page = std::make_unique<AudioSettingsView>(context);
        page->resize(720, 900);
        page->show();
        drainEventLoop();
    }
    void click(QWidget* control) {
        ASSERT_TRUE(control);
        page->ensureWidgetVisible(control);
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
        drainEventLoop();
    }
    AudioDeviceRow* row(const std::string& uid) const {
        for (AudioDeviceRow* row : page->deviceRows())
            if (row->device().uid == uid) return row;
        return nullptr;
    }
    std::optional<std::string> stored() { return fixture.store.defaults().stringForKey("selectedAudioDeviceUID"); }

    parloquin_test::PageFixture fixture;
    std::shared_ptr<FakeAudioHardware> hardware = FakeAudioHardware::make();
    std::shared_ptr<parloquin_test::RecordingWorkspace> workspace =
        std::make_shared<parloquin_test::RecordingWorkspace>();
    std::unique_ptr<AudioSettingsView> page;
};

TEST(AudioLevelMeterTest, TheColourFollowsTheLevel) {
    const parloquin::ThemeColors& colors = parloquin::ThemeColors::shared();
    QColor quiet = colors.green;
    quiet.setAlphaF(0.7f);
    const std::vector<std::pair<float, QColor>> cases = {
        {0.0f, quiet},         {0.29f, quiet},        {0.3f, colors.green},  {0.69f, colors.green},
        {0.7f, colors.orange}, {0.89f, colors.orange}, {0.9f, colors.red},   {1.0f, colors.red},
    };
    for (const auto& [level, colour] : cases) EXPECT_EQ(AudioLevelMeter::levelColor(level), colour) << level;
}

TEST_F(AudioSettingsViewTest, ListsTheMicrophonesWithTheChoiceAndTheDefaultMarked) {
    show();
    ASSERT_EQ(page->deviceRows().size(), 2u);
    EXPECT_EQ(page->deviceRows()[0]->text(), "Eingebautes Mikrofon");
    EXPECT_TRUE(row("builtin")->isSelected());
    ASSERT_TRUE(row("builtin")->badge());
    EXPECT_EQ(row("builtin")->badge()->text(), "Systemstandard");
    EXPECT_FALSE(row("usb")->isSelected());
    EXPECT_FALSE(row("usb")->badge());
    EXPECT_FALSE(page->emptyListWarning()->isVisible());

    click(row("usb"));
    EXPECT_EQ(stored(), "usb");
    EXPECT_TRUE(row("usb")->isSelected());
    EXPECT_FALSE(row("builtin")->isSelected());
    // Choosing does not start the level test.
    EXPECT_FALSE(page->isMonitoring());
    EXPECT_TRUE(hardware->startedCaptures().empty());
}

TEST_F(AudioSettingsViewTest, TheLevelTestShowsTheLevelAndFollowsANewChoice) {
    show();
    EXPECT_EQ(page->testButton()->text(), "Test starten");
    EXPECT_EQ(page->monitoringStatus()->text(), "Keine Überwachung");
    click(page->testButton());
    EXPECT_TRUE(page->isMonitoring());
    EXPECT_EQ(page->testButton()->text(), "Test stoppen");
    EXPECT_EQ(page->monitoringStatus()->text(), "Überwachung...");
    EXPECT_TRUE(waitUntil([&] { return page->levelMeter()->level() > 0.5f; })) << page->levelMeter()->level();

    // Another microphone while the test runs: monitoring stops and starts once, on the new one.
    click(row("usb"));
    EXPECT_EQ(hardware->startedCaptures(), (std::vector<std::string>{"builtin", "usb"}));
    EXPECT_TRUE(page->audioDeviceManager().isLevelMonitoring());

    click(page->testButton());
    EXPECT_FALSE(page->isMonitoring());
    EXPECT_FALSE(page->audioDeviceManager().isLevelMonitoring());
    EXPECT_EQ(page->levelMeter()->level(), 0.0f);
    EXPECT_EQ(page->testButton()->text(), "Test starten");
}

TEST_F(AudioSettingsViewTest, LeavingThePageStopsARunningTest) {
    show();
    page->startTest();
    ASSERT_TRUE(page->audioDeviceManager().isLevelMonitoring());
    page->hide();
    EXPECT_FALSE(page->isMonitoring());
    EXPECT_FALSE(page->audioDeviceManager().isLevelMonitoring());
    EXPECT_EQ(hardware->startedCaptures().size(), 1u);

    // Leaving while idle starts nothing.
    page->show();
    page->hide();
    EXPECT_EQ(hardware->startedCaptures().size(), 1u);
}

TEST_F(AudioSettingsViewTest, WithoutMicrophonesTheWarningShowsAndRefreshFindsANewOne) {
    hardware->setInputs({}, std::nullopt);
    show();
    EXPECT_TRUE(page->deviceRows().empty());
    EXPECT_TRUE(page->emptyListWarning()->isVisible());
    EXPECT_EQ(page->emptyListWarning()->text(), "Keine Eingabegeräte gefunden. Bitte verbinde ein Mikrofon.");
    EXPECT_TRUE(page->refreshButton()->isVisible());

    // Plugged in: the server's notice and the refresh button both bring it into the list.
    hardware->setInputs({microphone("usb", 2, "USB-Mikrofon")}, "usb");
    EXPECT_TRUE(waitUntil([&] { return page->deviceRows().size() == 1; }));
    click(page->refreshButton());
    ASSERT_EQ(page->deviceRows().size(), 1u);
    EXPECT_FALSE(page->emptyListWarning()->isVisible());
}

TEST_F(AudioSettingsViewTest, ThePermissionCardLeadsToTheSoundSettingsOrSaysNoneAreNeeded) {
    show();
    // The tips state the Linux fact: no program asks for leave to record.
    QStringList tips;
    for (const QLabel* label : page->findChildren<QLabel*>()) tips << label->text();
    EXPECT_TRUE(tips.contains("Parloquin braucht unter Linux keine Mikrofon-Berechtigung zum Aufnehmen"));
    // The card below says the same, not that a microphone access must be given.
    EXPECT_TRUE(tips.contains("Parloquin nimmt ohne eigene Berechtigung über den Tonserver auf"));
    for (const QString& line : tips) EXPECT_FALSE(line.contains("benötigt Mikrofonzugriff")) << line.toStdString();
    ASSERT_TRUE(page->soundSettingsButton());
    EXPECT_EQ(page->soundSettingsButton()->text(), "Toneinstellungen öffnen");
    EXPECT_FALSE(page->permissionText());
    click(page->soundSettingsButton());
    EXPECT_EQ(workspace->soundSettingsOpened, 1);

    workspace->soundSettingsInstalled = false;
    show();
    EXPECT_FALSE(page->soundSettingsButton());
    ASSERT_TRUE(page->permissionText());
    EXPECT_EQ(page->permissionText()->text(), "Linux gewährt Parloquin den Mikrofonzugriff ohne Nachfrage.");
}

}  // namespace
