// Dictation on headless sway with XWayland as a user sets it up there: sway's configuration holds the
// bindsym lines that the hotkeys page shows (a toggle on one combination, hold to talk with
// --start and --release … --stop on another), the keys come through wlroots' virtual keyboard, and
// sway runs `parloquin --toggle/--start/--stop`, which drive the running Parloquin (models that
// hear "Hallo" in every recording). With a native and with an X window focused, each dictation's
// text arrives in that window and stays on the clipboard for native readers; the recording overlay
// leaves the focus where it was, so the toggle's second press still arrives. Sway matches keys from
// a virtual keyboard against bindsym by the keysyms of that keyboard's own keymap (sent before its
// first key), as it does for a real one: no bindcode or --to-code is needed.
#include <gtest/gtest.h>

#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "Parloquin/hotkeys/DefaultHotkey.h"
#include "Parloquin/views/HotkeysSettings.h"
#include "tests/Parloquin/app/ParloquinProcess.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/NotificationServer.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"
#include "tests/Platform/desktop/WaylandCompositor.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace {

namespace fs = std::filesystem;
using parloquin::HotkeysSettings;
using parloquin_test::ParloquinProcess;
using parloquin_test::TestTextWindow;
using parloquin_test::WaylandCompositor;
using parloquin_test::waitUntil;
using std::chrono::milliseconds;
using WindowKind = WaylandCompositor::WindowKind;

const std::string kWord = "\xE2\x96\x81Hallo";
// Evdev codes of the two combinations: Ctrl+Alt+Space toggles (the default hotkey), Shift+Super+Space
// is held to talk.
const std::vector<std::uint32_t> kToggleKeys = {29, 56, 57};
const std::vector<std::uint32_t> kHoldKeys = {42, 125, 57};
const char* const kHoldHotkey = "⇧⌘Space";
// Long enough a recording for the models to hear a word in it.
constexpr milliseconds kSpeaking{1500};

// The commands the bindings ran, one line each ("--toggle 0": the option and its exit status), in a
// file that sway's user may write.
class CommandLog {
public:
    CommandLog() {
        fs::permissions(folder_.path(), fs::perms::all);
        for (const fs::path& file : {path(), errors()}) {
            std::ofstream(file).flush();
            fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                      fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
        }
    }
    fs::path path() const { return folder_ / "commands.log"; }
    // What the commands wrote to standard error.
    fs::path errors() const { return folder_ / "commands.err"; }
    std::string errorText() const {
        std::ifstream in(errors());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path folder() const { return folder_.path(); }
    std::vector<std::string> lines() const {
        std::vector<std::string> lines;
        std::ifstream in(path());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Waits until the bindings have run this many commands.
    bool waitFor(std::size_t count) const {
        return waitUntil([&] { return lines().size() >= count; }, std::chrono::seconds(20));
    }

private:
    testsupport::TemporaryDirectory folder_;
};

// The page's bindsym lines for sway, each running the program through a script that reaches the
// test's bus and writes what it did to the log.
std::string swayConfiguration(const CommandLog& log, const QString& busAddress) {
    const fs::path program = log.folder() / "parloquin";
    std::ofstream(program) << "#!/bin/sh\n"
                           << "DBUS_SESSION_BUS_ADDRESS='" << busAddress.toStdString() << "' '" << PARLOQUIN_EXECUTABLE
                           << "' \"$@\" 2>>'" << log.errors().string() << "'\n"
                           << "echo \"$* $?\" >>'" << log.path().string() << "'\n";
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    std::string configuration;
    auto take = [&](std::string_view hotkey, std::string_view mode) {
        for (std::string line : HotkeysSettings::desktopShortcutLines(HotkeysSettings::Desktop::sway, hotkey, mode)) {
            if (!line.starts_with("bindsym ")) continue;
            const std::string command = "exec parloquin ";
            const auto at = line.find(command);
            if (at == std::string::npos) continue;
            line.replace(at, command.size(), "exec " + program.string() + " ");
            configuration += line + "\n";
        }
    };
    take(parloquin::DefaultHotkey::display, "toggle");
    take(kHoldHotkey, "hold");
    return configuration;
}

class SwayShortcutDictationWaylandTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"sway", "swaymsg", "Xwayland", "wl-paste"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh tests installs it)";
        }
    }
};

TEST_F(SwayShortcutDictationWaylandTest, TheBoundKeysDictateIntoTheFocusedNativeAndXWindow) {
    // Sway runs as nobody under root, and so do the commands of its bindings: a bus that let in
    // only root would refuse them, and `parloquin --toggle` would end with "No session bus".
    parloquin_test::PrivateSessionBus bus(::getuid() == 0 ? QStringList{"nobody"} : QStringList{});
    ASSERT_FALSE(bus.address().isEmpty());
    parloquin_test::NotificationServer notifications;
    ASSERT_TRUE(notifications.start(bus.address()));
    CommandLog log;
    const fs::path configuration = log.folder() / "sway.conf";
    std::ofstream(configuration) << swayConfiguration(log, bus.address());

    testsupport::ScopedEnvironment environment;
    environment.set("PARLOQUIN_SWAY_CONFIG", configuration.string());
    WaylandCompositor compositor(WaylandCompositor::Kind::sway);
    ASSERT_TRUE(compositor.isRunning()) << compositor.failure().toStdString();

    testsupport::TemporaryDirectory home;
    fs::create_directories(home / "config/Parloquin");
    std::ofstream(home / "config/Parloquin/defaults.json") << R"({"hasShownFirstLaunchExplanation":true})";
    testsupport::AsrFixtureModels(testsupport::AsrFixtureScript{})
        .writeTorchScriptBundles(home / "data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml", 11, kWord);
    ParloquinProcess parloquin(home.path());
    for (auto it = compositor.clientVariables().begin(); it != compositor.clientVariables().end(); ++it)
        parloquin.environment.insert(it.key(), it.value());
    parloquin.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ASSERT_TRUE(parloquin.start());
    // Sway has no tray: Parloquin says so, then that it is ready.
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const auto& notification : notifications.received)
                if (notification.summary == "Parloquin bereit!") return true;
            return false;
        },
        milliseconds(120000)))
        << parloquin.standardError();

    std::size_t commands = 0;
    for (WindowKind kind : {WindowKind::native, WindowKind::x11}) {
        SCOPED_TRACE(kind == WindowKind::native ? "native window" : "X window");
        auto window = compositor.openWindow(kind, kind == WindowKind::native ? "Nativ" : "X11");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(compositor.focus(*window));

        // The toggle: the first press starts, the second (while the overlay shows) stops.
        ASSERT_TRUE(compositor.pressChord(kToggleKeys));
        ASSERT_TRUE(log.waitFor(++commands)) << "sway did not run the toggle's binding\n" << log.errorText();
        QTest::qWait(int(kSpeaking.count()));
        EXPECT_TRUE(window->hasFocus()) << "the overlay took the focus";
        ASSERT_TRUE(compositor.pressChord(kToggleKeys));
        ASSERT_TRUE(log.waitFor(++commands)) << log.errorText();
        EXPECT_TRUE(window->waitForText("Hallo", milliseconds(30000))) << window->text() << parloquin.standardError();
        EXPECT_EQ(compositor.readClipboard(), "Hallo");

        // Hold to talk: --start on the press, --stop on the release.
        window.reset();
        window = compositor.openWindow(kind, kind == WindowKind::native ? "Nativ gehalten" : "X11 gehalten");
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(compositor.focus(*window));
        for (std::uint32_t key : kHoldKeys) ASSERT_TRUE(compositor.sendKey(key, true));
        ASSERT_TRUE(log.waitFor(++commands)) << "sway did not run the hold's press binding";
        QTest::qWait(int(kSpeaking.count()));
        EXPECT_EQ(log.lines().size(), commands) << "the release binding ran while the keys were held";
        for (auto it = kHoldKeys.rbegin(); it != kHoldKeys.rend(); ++it) ASSERT_TRUE(compositor.sendKey(*it, false));
        ASSERT_TRUE(log.waitFor(++commands)) << "sway did not run the hold's release binding";
        EXPECT_TRUE(window->waitForText("Hallo", milliseconds(30000))) << window->text() << parloquin.standardError();
        EXPECT_EQ(compositor.readClipboard(), "Hallo");
    }
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"--toggle 0", "--toggle 0", "--start 0", "--stop 0",
                                                     "--toggle 0", "--toggle 0", "--start 0", "--stop 0"}));
    EXPECT_EQ(log.errorText(), "");
    EXPECT_TRUE(parloquin.isRunning()) << parloquin.standardError();
}

}  // namespace
