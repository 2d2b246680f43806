// A dictation on KDE Plasma's compositor as a user makes it, the program in a process of its own:
// headless KWin with XWayland and Plasma's desktop portal on KWin's bus (xdg-desktop-portal with
// its KDE backend, whose global shortcuts are KWin's kglobalaccel). The keys go in through KWin's
// fake input, so the hotkey takes the path a keyboard's does: KWin's shortcut handling, the
// portal's Activated and Deactivated, Parloquin's portal client. A hold with an X window focused
// gives its text to that window (XTest); a toggle with a native window focused keeps the focus
// there while the overlay shows, its second press stops, and the text arrives through fake input;
// a native reader then finds it on the clipboard.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "Platform/system/UserDefaults.h"
#include "tests/Parloquin/app/ParloquinProcess.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/NotificationServer.h"
#include "tests/Platform/desktop/WaylandCompositor.h"
#include "tests/support/TemporaryDirectory.h"
#include "tests/support/asr/AsrFixtureModels.h"

namespace {

namespace fs = std::filesystem;
using parloquin_test::ParloquinProcess;
using parloquin_test::WaylandCompositor;
using parloquin_test::waitUntil;
using std::chrono::milliseconds;
using WindowKind = WaylandCompositor::WindowKind;

// Linux key codes of the hotkey, Strg+Alt+Leertaste.
constexpr std::uint32_t kLeftCtrl = 29, kLeftAlt = 56, kSpace = 57;
const std::string kWord = "\xE2\x96\x81Hallo";
constexpr int kSpeaking = 3000;  // ms

fs::path settingsFile(const fs::path& home) { return home / "config/Parloquin/defaults.json"; }

// Settings of a user who chose Strg+Alt+Leertaste and pastes in place, and speech models that
// hear "Hallo" in every recording.
void prepareHome(const fs::path& home, const std::string& recordingMode) {
    fs::create_directories(settingsFile(home).parent_path());
    std::ofstream(settingsFile(home)) << nlohmann::json{{"hasShownFirstLaunchExplanation", true},
                                                          {"pasteInPlaceMode", true},
                                                          {"recordingMode", recordingMode},
                                                          {"primaryHotkey", "⌃⌥Space"},
                                                          {"primaryHotkeyKeyCode", 49},
                                                          {"primaryHotkeyModifiers", 0x1800},
                                                          {"primaryHotkeyIsSingleKey", false}}
                                                .dump();
    testsupport::AsrFixtureModels(testsupport::AsrFixtureScript{})
        .writeTorchScriptBundles(home / "data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml", 11, kWord);
}

// A setting changed while the program runs, as the settings page or an editor would: the file
// replaced whole.
void changeSetting(const fs::path& home, const std::string& key, const std::string& value) {
    nlohmann::json settings = nlohmann::json::parse(std::ifstream(settingsFile(home)));
    settings[key] = value;
    const fs::path written = settingsFile(home).string() + ".new";
    std::ofstream(written) << settings.dump();
    fs::rename(written, settingsFile(home));
}

std::size_t storedHistorySize(const fs::path& home) {
    platform::UserDefaults stored(settingsFile(home));
    const auto data = stored.dataForKey("TranscriptionHistory");
    if (!data) return 0;
    return nlohmann::json::parse(data->begin(), data->end()).size();
}

// The shortcuts kglobalaccel holds for the portal session Parloquin opened: its component is named
// after the application's id (none for a program outside a sandbox) and the session's token.
QStringList boundShortcuts(const WaylandCompositor& compositor) {
    QDBusConnection bus = QDBusConnection::connectToBus(compositor.value("PARLOQUIN_COMPOSITOR_BUS"),
                                                        QStringLiteral("dictation-kwin-test"));
    QDBusReply<QList<QDBusObjectPath>> components = bus.call(QDBusMessage::createMethodCall(
        "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel", "allComponents"));
    if (!components.isValid()) return {};
    for (const QDBusObjectPath& component : components.value()) {
        if (!component.path().endsWith(QLatin1String("parloquin"))) continue;
        QDBusReply<QStringList> names = bus.call(QDBusMessage::createMethodCall(
            "org.kde.kglobalaccel", component.path(), "org.kde.kglobalaccel.Component", "shortcutNames"));
        if (names.isValid()) return names.value();
    }
    return {};
}

bool received(const parloquin_test::NotificationServer& notifications, const QString& summary) {
    return std::any_of(notifications.received.begin(), notifications.received.end(),
                       [&](const auto& notification) { return notification.summary == summary; });
}

std::string notices(const parloquin_test::NotificationServer& notifications) {
    std::string all = "\nnotifications:";
    for (const auto& notification : notifications.received)
        all += "\n  " + notification.summary.toStdString() + ": " + notification.body.toStdString();
    return all;
}

// Focuses the window and waits a moment: with no tray on this desktop, Parloquin opens its main
// window as it starts, and that may come on screen after the test window got the focus.
bool focusAndKeep(WaylandCompositor& compositor, parloquin_test::TestTextWindow& window) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!compositor.focus(window)) return false;
        QTest::qWait(1000);
        if (window.hasFocus()) return true;
    }
    return false;
}

TEST(DictationKWinTest, TheHotkeyThroughPlasmasPortalDictatesIntoXAndNativeWindows) {
    WaylandCompositor compositor(WaylandCompositor::Kind::kwin, WaylandCompositor::Portal::desktop);
    if (!compositor.isRunning()) GTEST_SKIP() << "no KWin with XWayland here: " << compositor.failure().toStdString();
    if (!compositor.hasDesktopPortal())
        GTEST_SKIP() << "xdg-desktop-portal-kde is not installed (scripts/install-deps.sh tests installs it)";
    const QString bus = compositor.value("PARLOQUIN_COMPOSITOR_BUS");
    parloquin_test::NotificationServer notifications;
    ASSERT_TRUE(notifications.start(bus));
    testsupport::TemporaryDirectory home;
    prepareHome(home.path(), "hold");

    auto x11 = compositor.openWindow(WindowKind::x11, "X11");
    auto native = compositor.openWindow(WindowKind::native, "Nativ");
    ASSERT_TRUE(x11 && native);

    // Plasma's session: its bus is the compositor's, where the portal runs.
    ParloquinProcess program(home.path());
    for (auto it = compositor.clientVariables().begin(); it != compositor.clientVariables().end(); ++it)
        program.environment.insert(it.key(), it.value());
    program.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus);
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(waitUntil([&] { return received(notifications, "Parloquin bereit!"); }, milliseconds(120000)))
        << program.standardError();
    ASSERT_TRUE(waitUntil([&] { return boundShortcuts(compositor).contains("dictation"); }, milliseconds(20000)))
        << "the portal did not bind the hotkey in KWin\n"
        << program.standardError();

    {
        SCOPED_TRACE("held with the X window focused");
        ASSERT_TRUE(focusAndKeep(compositor, *x11));
        for (std::uint32_t key : {kLeftCtrl, kLeftAlt, kSpace}) ASSERT_TRUE(compositor.sendKey(key, true));
        // Held long enough for more than the shortest recording that counts (a second) once the sound
        // server has started to deliver; KWin repeats the press meanwhile.
        QTest::qWait(kSpeaking);
        for (std::uint32_t key : {kSpace, kLeftAlt, kLeftCtrl}) ASSERT_TRUE(compositor.sendKey(key, false));
        EXPECT_TRUE(x11->waitForText("Hallo", milliseconds(30000))) << x11->text() << notices(notifications);
        ASSERT_TRUE(waitUntil([&] { return storedHistorySize(home.path()) == 1; }, milliseconds(30000)))
            << program.standardError();
    }

    changeSetting(home.path(), "recordingMode", "toggle");
    // The program takes the changed file in a moment after it changed.
    QTest::qWait(1500);

    {
        SCOPED_TRACE("toggled with the native window focused");
        ASSERT_TRUE(focusAndKeep(compositor, *native));
        ASSERT_TRUE(compositor.pressChord({kLeftCtrl, kLeftAlt, kSpace}));
        // Recording: the overlay and the floating button show, and the focus stays.
        QTest::qWait(kSpeaking);
        EXPECT_TRUE(native->hasFocus()) << "the overlay took the focus from the native window";
        EXPECT_EQ(native->text(), "") << "the hotkey reached the window";
        ASSERT_TRUE(compositor.pressChord({kLeftCtrl, kLeftAlt, kSpace}));
        ASSERT_TRUE(waitUntil([&] { return storedHistorySize(home.path()) == 2; }, milliseconds(30000)))
            << program.standardError();
        EXPECT_TRUE(native->waitForText("Hallo")) << native->text();
        EXPECT_TRUE(native->hasFocus());
    }

    // A native program that reads the clipboard later finds the text too.
    EXPECT_EQ(compositor.readClipboard(), "Hallo");
    EXPECT_EQ(x11->text(), "Hallo");
    EXPECT_TRUE(program.isRunning()) << program.standardError();
}

}  // namespace
