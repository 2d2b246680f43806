// The program in a desktop session, as processes of their own on the test X server: one copy per
// session, and log lines that reach standard error where no journal runs.
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "Platform/system/UserDefaults.h"
#include "tests/Parloquin/app/ParloquinProcess.h"
#include "tests/Parloquin/app/StandaloneTray.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/NotificationServer.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"
#include "tests/Platform/desktop/XTestKeyboard.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureModels.h"

// Xlib after Qt: its macros clash with Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

namespace fs = std::filesystem;
using parloquin_test::ParloquinProcess;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;
using std::chrono::milliseconds;

const std::string kWord = "\xE2\x96\x81Hallo";

// A user's folders with settings that skip the welcome and copy instead of pasting, and speech
// models that hear "Hallo" in every recording.
void prepareHome(const fs::path& home) {
    fs::create_directories(home / "config/Parloquin");
    std::ofstream(home / "config/Parloquin/defaults.json")
        << R"({"hasShownFirstLaunchExplanation":true,"pasteInPlaceMode":false})";
    testsupport::AsrFixtureModels(testsupport::AsrFixtureScript{})
        .writeTorchScriptBundles(home / "data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml", 11, kWord);
}

// The texts of the history as the settings file holds it now.
std::vector<std::string> storedHistory(const fs::path& home) {
    platform::UserDefaults stored(home / "config/Parloquin/defaults.json");
    std::vector<std::string> texts;
    const auto data = stored.dataForKey("TranscriptionHistory");
    if (!data) return texts;
    for (const auto& record : nlohmann::json::parse(data->begin(), data->end())) texts.push_back(record.at("text"));
    return texts;
}

// A window with this title is on the screen.
bool windowShown(const std::string& title) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    bool shown = false;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !shown; ++i) {
            XWindowAttributes attributes;
            char* name = nullptr;
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
                XFetchName(display, children[i], &name) && name) {
                shown = name == title;
            }
            if (name) XFree(name);
        }
        if (children) XFree(children);
    }
    XCloseDisplay(display);
    return shown;
}

// The main window is on the screen.
bool mainWindowShown() { return windowShown("Parloquin"); }
// The recording overlay is on the screen: the program records. The program puts it up as it
// starts a recording and maps it once the microphone's stream has been started.
bool recordingShown() { return windowShown("Parloquin Aufnahme"); }

class ProgramSessionX11Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tray.isRunning()) << "trayer did not start"; }
    parloquin_test::StandaloneTray tray;
};

TEST_F(ProgramSessionX11Test, ASecondStartHandsOverAndTheFirstKeepsItsWholeHistory) {
    parloquin_test::PrivateSessionBus bus;
    parloquin_test::NotificationServer notifications;
    ASSERT_TRUE(notifications.start(bus.address()));
    testsupport::TemporaryDirectory home;
    prepareHome(home.path());

    ParloquinProcess first(home.path());
    first.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(waitUntil([&] { return !notifications.received.empty(); }, milliseconds(120000)))
        << first.standardError();
    ASSERT_EQ(notifications.received.front().summary, "Parloquin bereit!") << first.standardError();

    // A dictation with the hotkey (⇧⌘Space, a toggle): one second or more of the test input, counted
    // from the moment the program shows that it records (a loaded machine may take a while to get
    // there, and a recording under a second is dropped).
    XTestKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen());
    auto press = [&] {
        keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
        keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    };
    auto dictate = [&](std::size_t recordsAfter) {
        // The last recording's overlay fades out after its end.
        if (!waitUntil([] { return !recordingShown(); }, milliseconds(30000))) return false;
        press();
        if (!waitUntil(recordingShown, milliseconds(30000))) return false;
        QTest::qWait(1500);
        press();
        return waitUntil([&] { return storedHistory(home.path()).size() == recordsAfter; }, milliseconds(30000));
    };
    ASSERT_TRUE(dictate(1)) << first.standardError();

    // The second start asks the first to open its main window and ends, touching nothing.
    ASSERT_FALSE(mainWindowShown());
    ParloquinProcess second(home.path());
    second.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitForExit());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.standardError(), "Parloquin is already running; it was asked to open its window.\n");
    EXPECT_TRUE(waitUntil(mainWindowShown));
    EXPECT_TRUE(first.isRunning());

    ASSERT_TRUE(dictate(2)) << first.standardError();
    EXPECT_EQ(storedHistory(home.path()), (std::vector<std::string>{"Hallo", "Hallo"}));
    EXPECT_TRUE(first.isRunning());
}

// A desktop shortcut drives the running copy through the command line: --start and --stop make a
// dictation (a repeated --start, as from key repeat, changes nothing), and --toggle with no copy
// running starts Parloquin without recording.
TEST_F(ProgramSessionX11Test, CommandsFromADesktopShortcutDriveTheRunningCopy) {
    parloquin_test::PrivateSessionBus bus;
    parloquin_test::NotificationServer notifications;
    ASSERT_TRUE(notifications.start(bus.address()));
    testsupport::TemporaryDirectory home;
    prepareHome(home.path());
    auto command = [&](const char* option) {
        ParloquinProcess sent(home.path());
        sent.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        sent.command << option;
        if (!sent.start() || !sent.waitForExit()) return -1;
        EXPECT_EQ(sent.standardError(), "") << option;
        return sent.exitCode();
    };

    ParloquinProcess first(home.path());
    first.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    first.command << "--toggle";
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(waitUntil([&] { return !notifications.received.empty(); }, milliseconds(120000)))
        << first.standardError();
    ASSERT_EQ(notifications.received.front().summary, "Parloquin bereit!") << first.standardError();
    QTest::qWait(1500);
    EXPECT_TRUE(storedHistory(home.path()).empty());  // started, not recording
    EXPECT_FALSE(recordingShown());

    // Each recording lasts one second or more from the moment it shows (see the test above).
    EXPECT_EQ(command("--start"), 0);
    ASSERT_TRUE(waitUntil(recordingShown, milliseconds(30000))) << first.standardError();
    QTest::qWait(700);
    EXPECT_EQ(command("--start"), 0);
    QTest::qWait(700);
    EXPECT_EQ(command("--stop"), 0);
    ASSERT_TRUE(waitUntil([&] { return storedHistory(home.path()).size() == 1; }, milliseconds(30000)))
        << first.standardError();
    EXPECT_EQ(command("--stop"), 0);  // nothing to stop
    ASSERT_TRUE(waitUntil([] { return !recordingShown(); }, milliseconds(30000)));
    EXPECT_EQ(command("--toggle"), 0);
    ASSERT_TRUE(waitUntil(recordingShown, milliseconds(30000))) << first.standardError();
    QTest::qWait(1500);
    EXPECT_EQ(command("--toggle"), 0);
    ASSERT_TRUE(waitUntil([&] { return storedHistory(home.path()).size() == 2; }, milliseconds(30000)))
        << first.standardError();
    EXPECT_FALSE(mainWindowShown());
    EXPECT_TRUE(first.isRunning());
}

// Where no journal runs, a failed model load reaches standard error with its reason. Where a
// journal runs, the program is started in a mount namespace of its own in which the journal's
// socket is hidden.
TEST_F(ProgramSessionX11Test, WithoutAJournalAFailedModelLoadIsOnStandardError) {
    testsupport::TemporaryDirectory home;
    fs::create_directories(home.path() / "config/Parloquin");
    std::ofstream(home.path() / "config/Parloquin/defaults.json") << R"({"hasShownFirstLaunchExplanation":true})";
    ParloquinProcess program(home.path());
    program.environment.remove("DBUS_SESSION_BUS_ADDRESS");
    if (fs::exists("/run/systemd/journal/socket")) {
        program.command = QStringList{"unshare", "--user", "--map-root-user", "--mount", "sh", "-c",
                                      "mount -t tmpfs tmpfs /run/systemd/journal && exec \"$0\""} +
                          program.command;
    }
    ASSERT_TRUE(program.start());
    const std::string failure = "com.parloquin/TranscriptionService error: ❌ Failed to initialize Parloquin Engine: ";
    const bool failed = waitUntil(
        [&] { return program.standardError().find(failure) != std::string::npos || !program.isRunning(); },
        milliseconds(60000));
    if (!program.isRunning() && program.standardError().find("unshare") != std::string::npos) {
        GTEST_SKIP() << "a journal runs here and cannot be hidden: " << program.standardError();
    }
    ASSERT_TRUE(failed);
    const std::string text = program.standardError();
    const auto at = text.find(failure);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string reason = text.substr(at + failure.size(), text.find('\n', at) - at - failure.size());
    EXPECT_NE(reason.find("Could not connect to the server"), std::string::npos) << reason;
    EXPECT_TRUE(program.isRunning());
}

}  // namespace
