// The shell and its main window: when it opens, on which page, what closing does, and how the
// task bar entry follows the window and the user's setting.
#include <gtest/gtest.h>

#include <QApplication>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/GeneralSettingsView.h"
#include "Parloquin/views/ToggleSwitch.h"
#include "tests/Parloquin/app/AppHarness.h"

namespace {

using parloquin::ActivationPolicy;
using parloquin::MainWindowView;
using parloquin::SidebarSection;
using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;

int mainWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) count += widget->objectName() == "MainWindow";
    return count;
}

class MainWindowManagementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(harness.notificationsStarted) << "no private session bus";
        harness.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
    }
    ActivationPolicy policy() const { return harness.desktop.application->policy; }

    AppHarness harness;
};

// "Einstellungen..." chosen the moment the tray icon appears, before the dictation service and its
// stores exist: nothing shows at once, and the window opens on its own once they do.
TEST_F(MainWindowManagementTest, ARequestBeforeTheStoresExistOpensTheWindowOnceTheyDo) {
    harness.delegate = std::make_unique<parloquin::AppDelegate>(harness.environment());
    harness.delegate->applicationDidFinishLaunching();
    harness.delegate->openSettings();
    EXPECT_EQ(harness.delegate->mainWindow(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return harness.delegate->mainWindow() && harness.delegate->mainWindow()->isVisible(); }));
    EXPECT_EQ(harness.delegate->mainWindow()->selectedSection(), SidebarSection::general);
    EXPECT_EQ(mainWindowCount(), 1);
    EXPECT_EQ(policy(), ActivationPolicy::regular);
    waitUntil([&] { return !harness.notifications.received.empty(); });
}

TEST_F(MainWindowManagementTest, OneWindowThatSwitchesPagesAndIsHiddenOnClose) {
    parloquin::AppDelegate& delegate = harness.launch();
    delegate.openStatistics();
    MainWindowView* window = delegate.mainWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Parloquin");
    EXPECT_EQ(window->size(), QSize(900, 600));
    EXPECT_EQ(window->minimumSize(), QSize(800, 500));
    EXPECT_EQ(window->selectedSection(), SidebarSection::statistics);
    EXPECT_EQ(policy(), ActivationPolicy::regular);

    delegate.openHistory();
    EXPECT_EQ(delegate.mainWindow(), window);
    EXPECT_EQ(window->selectedSection(), SidebarSection::history);
    EXPECT_EQ(mainWindowCount(), 1);

    window->move(40, 30);
    window->resize(1000, 700);
    const QRect placed = window->geometry();
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(policy(), ActivationPolicy::accessory);

    delegate.openSettings();
    EXPECT_EQ(delegate.mainWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), placed);
    EXPECT_EQ(window->selectedSection(), SidebarSection::general);
    EXPECT_EQ(policy(), ActivationPolicy::regular);
    EXPECT_EQ(mainWindowCount(), 1);
}

// The user asked for the task bar entry: it is there from the launch on, and closing the window
// does not take it away.
TEST_F(MainWindowManagementTest, TheTaskBarSettingHoldsAtLaunchAndOnClose) {
    for (bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        AppHarness launched;
        launched.store.defaults().setBool("hasShownFirstLaunchExplanation", true);
        launched.store.defaults().setBool("showDockIcon", shown);
        launched.desktop.application->policy = shown ? ActivationPolicy::accessory : ActivationPolicy::regular;
        parloquin::AppDelegate& delegate = launched.launch();
        const ActivationPolicy expected = shown ? ActivationPolicy::regular : ActivationPolicy::accessory;
        EXPECT_EQ(launched.desktop.application->policy, expected);
        delegate.openSettings();
        EXPECT_EQ(launched.desktop.application->policy, ActivationPolicy::regular);
        delegate.mainWindow()->close();
        EXPECT_EQ(launched.desktop.application->policy, expected);
    }
}

// A task bar lists windows: the entry the user keeps is the main window, minimised from the launch
// on and minimised again by closing it. Turned off, a window that is not open goes with its entry;
// an open one stays open until it is closed, and is then hidden as usual.
TEST_F(MainWindowManagementTest, TheKeptTaskBarEntryIsTheMinimisedWindow) {
    platform::UserDefaults& defaults = harness.store.defaults();
    defaults.setBool("showDockIcon", true);
    parloquin::AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); }));
    MainWindowView* window = delegate.mainWindow();
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(window->selectedSection(), SidebarSection::general);
    EXPECT_EQ(policy(), ActivationPolicy::regular);

    delegate.openHistory();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(window->selectedSection(), SidebarSection::history);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(policy(), ActivationPolicy::regular);

    struct Step {
        const char* what;
        std::function<void()> act;
        bool visible, minimized;
        ActivationPolicy policy;
    };
    const Step steps[] = {
        {"off while minimised", [&] { defaults.setBool("showDockIcon", false); }, false, true,
         ActivationPolicy::accessory},
        {"on while closed", [&] { defaults.setBool("showDockIcon", true); }, true, true, ActivationPolicy::regular},
        {"opened", [&] { delegate.openSettings(); }, true, false, ActivationPolicy::regular},
        {"off while open", [&] { defaults.setBool("showDockIcon", false); }, true, false,
         ActivationPolicy::accessory},  // the general page's switch: the open window leaves the task bar
        {"closed", [&] { window->close(); }, false, false, ActivationPolicy::accessory},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        drainEventLoop();
        EXPECT_EQ(window->isVisible(), step.visible);
        if (step.visible) {
            EXPECT_EQ(window->isMinimized(), step.minimized);
        }
        EXPECT_EQ(policy(), step.policy);
    }
    EXPECT_EQ(mainWindowCount(), 1);
}

// Someone edits the settings file while Parloquin runs: the open page and the tray's floating
// button follow at once; an edit that cannot be read is set aside and reported.
TEST_F(MainWindowManagementTest, EditsOfTheSettingsFileReachEveryBinding) {
    parloquin::AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.floatingControlWindow());
    delegate.openSettings();
    auto* page = dynamic_cast<parloquin::GeneralSettingsView*>(delegate.mainWindow()->contentArea()->page());
    ASSERT_TRUE(page);
    auto* autoSend = static_cast<parloquin::ToggleSwitch*>(page->control("autoSendText"));
    ASSERT_FALSE(autoSend->isChecked());
    ASSERT_TRUE(AppHarness::visibleWindow("FloatingDictationControlWindow"));

    const auto path = harness.store.defaults().storePath();
    nlohmann::json settings = nlohmann::json::parse(std::ifstream(path));
    settings["autoSendText"] = true;
    settings["showFloatingDictationControl"] = false;
    {
        std::ofstream edited(path.string() + ".edit");
        edited << settings.dump(2);
    }
    std::filesystem::rename(path.string() + ".edit", path);
    EXPECT_TRUE(waitUntil([&] { return autoSend->isChecked(); }));
    EXPECT_TRUE(waitUntil([] { return AppHarness::visibleWindow("FloatingDictationControlWindow") == nullptr; }));

    // A typo in a hand edit: the values in use go back into a valid file at once, and the
    // notification says where the damaged copy lies.
    std::ofstream(path, std::ios::trunc) << "{\"recordingMode\":\"toggle\", GARBAGE";
    ASSERT_TRUE(waitUntil([&] {
        const auto texts = harness.summaries();
        return std::find(texts.begin(), texts.end(), "Einstellungen nicht übernommen") != texts.end();
    }));
    EXPECT_TRUE(autoSend->isChecked());
    EXPECT_TRUE(harness.store.defaults().boolForKey("autoSendText"));
    const auto setAside = harness.store.defaults().loadProblem()->setAsidePath;
    EXPECT_EQ(harness.notifications.received.back().body.toStdString(),
              "Die geänderte Einstellungsdatei konnte nicht gelesen werden. Parloquin behält die bisherigen "
              "Einstellungen; die Datei liegt unter " + setAside.string() + ".");
    std::ifstream damaged(setAside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(damaged), {}), "{\"recordingMode\":\"toggle\", GARBAGE");
    const auto written = nlohmann::json::parse(std::ifstream(path), nullptr, false);
    ASSERT_TRUE(written.is_object());
    EXPECT_EQ(written.value("autoSendText", false), true);
    EXPECT_EQ(written.value("showFloatingDictationControl", true), false);
}

}  // namespace
