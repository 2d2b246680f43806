// A new user's first day on the test X server, with a tray to dock into and without one: the
// first setup runs while the hotkey is pressed, the setup fails (no network) and is tried again
// in place, a dictation follows, and "Parloquin beenden" ends the program.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/app/MessageBoxAlertPresenter.h"
#include "Parloquin/hotkeys/HotkeyEnvironment.h"
#include "Parloquin/views/ContentAreaView.h"
#include "Parloquin/views/OtherSettingsView.h"
#include "Platform/net/URLError.h"
#include "RarivOredu/shared/ModelLoadProgress.h"
#include "tests/Parloquin/app/AppHarness.h"
#include "tests/Parloquin/app/StandaloneTray.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"
#include "tests/Platform/desktop/XTestKeyboard.h"
#include "tests/Platform/desktop/XTestMouse.h"

namespace {

using parloquin::AppDelegate;
using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::waitUntil;
using parloquin_test::XTestKeyboard;
using parloquin_test::XTestMouse;
using std::chrono::milliseconds;

QAction* entry(QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions())
        if (action->text() == title) return action;
    return nullptr;
}

QPoint centreOf(QMenu* menu, QAction* action) { return menu->mapToGlobal(menu->actionGeometry(action).center()); }

QPoint centreOf(QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); }

// The summaries of the notifications received so far.
bool received(const AppHarness& harness, const std::string& summary) {
    const auto texts = harness.summaries();
    return std::find(texts.begin(), texts.end(), summary) != texts.end();
}

class FirstDay {
public:
    explicit FirstDay(bool tray) : tray_(tray) {
        auto& defaults = harness.store.defaults();
        defaults.setBool("hasShownFirstLaunchExplanation", true);
        // With a tray, the user keeps the task bar entry: the window minimises on close.
        defaults.setBool("showDockIcon", tray);
        harness.systemTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
        harness.hotkeys = [] { return parloquin::HotkeyEnvironment::system(std::make_shared<parloquin::MessageBoxAlertPresenter>()); };
        // The first setup: the download comes to 42 %, then the network is gone. The retry works.
        harness.initializer = [this, r = harness.recognizer]() -> std::shared_ptr<parloquin::SpeechRecognizer> {
            if (++attempts == 1) {
                rarivoredu::ModelLoadProgress download;
                download.step = rarivoredu::ModelLoadProgress::Step::download;
                download.fraction = 0.42;
                download.bytesDone = 1'054'000'000;
                download.bytesTotal = 2'510'000'000;
                rarivoredu::ModelLoadProgress::report(download);
                while (!networkGone) std::this_thread::sleep_for(milliseconds(5));
                throw platform::URLError::make(platform::URLError::cannotConnectToHost);
            }
            return r;
        };
    }

    // A setup still waiting would hold the service's end, and the test's, for good.
    ~FirstDay() { networkGone = true; }

    // A press of the hotkey (Umschalt+Super+Leertaste, stored) on the keyboard.
    void pressHotkey() {
        keyboard.press({XTestKeyboard::kLeftShift, XTestKeyboard::kLeftSuper, XTestKeyboard::kSpace});
        keyboard.release({XTestKeyboard::kSpace, XTestKeyboard::kLeftSuper, XTestKeyboard::kLeftShift});
    }

    // Opens the status menu as the user reaches it: a click on the tray icon, or without a tray a
    // right click on the floating button.
    QMenu* openMenu(AppDelegate& delegate) {
        QMenu* menu = delegate.statusMenu();
        QPoint at;
        if (tray_) {
            if (!waitUntil([&] { return !delegate.statusItem()->geometry().isEmpty(); })) return nullptr;
            at = delegate.statusItem()->geometry().center();
            mouse.click(at.x(), at.y());
        } else {
            QWidget* button = nullptr;
            if (!waitUntil([&] { return (button = AppHarness::visibleWindow("FloatingDictationControlWindow")); }))
                return nullptr;
            at = centreOf(button);
            mouse.click(at.x(), at.y(), 3);
        }
        return waitUntil([&] { return menu->isVisible(); }) ? menu : nullptr;
    }

    const bool tray_;
    std::atomic<int> attempts{0};
    std::atomic<bool> networkGone{false};
    AppHarness harness;
    XTestKeyboard keyboard;
    XTestMouse mouse;
};

void runFirstDay(bool tray) {
    FirstDay day(tray);
    AppHarness& harness = day.harness;
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});  // two seconds at 48 kHz
    ASSERT_TRUE(harness.notificationsStarted);
    ASSERT_TRUE(day.keyboard.isOpen());
    harness.delegate = std::make_unique<AppDelegate>(harness.environment());
    AppDelegate& delegate = *harness.delegate;
    delegate.applicationDidFinishLaunching();

    // The first setup: the start item is off and says how far it has come.
    const std::string setupLine = "Sprachmodell wird heruntergeladen: 42 % …";
    ASSERT_TRUE(waitUntil([&] { return delegate.dictationMenuItem()->text().toStdString() == setupLine; },
                          milliseconds(10000)))
        << delegate.dictationMenuItem()->text().toStdString();
    EXPECT_FALSE(delegate.dictationMenuItem()->isEnabled());
    if (!tray) {
        ASSERT_TRUE(waitUntil([&] { return received(harness, "Kein Infobereich gefunden"); }));
        ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); }));
    }

    // The hotkey pressed while the user types: it reaches Parloquin, not the window.
    {
        parloquin_test::FocusedLineEdit editor;
        ASSERT_TRUE(editor.isFocused());
        day.pressHotkey();
        ASSERT_TRUE(waitUntil([&] { return received(harness, "Parloquin ist noch nicht bereit"); }))
            << "the press went to the focused window";
        for (const auto& n : harness.notifications.received) {
            if (n.summary != QStringLiteral("Parloquin ist noch nicht bereit")) continue;
            EXPECT_EQ(n.body.toStdString(), setupLine + "\nAufnahmen sind möglich, sobald die Sprachmodelle bereit sind.");
        }
        drainEventLoop();
        EXPECT_EQ(editor.text(), "");
        EXPECT_FALSE(delegate.transcriptionService()->isRecording());
    }

    // The network is gone: the setup fails, and is tried again in place.
    day.networkGone = true;
    ASSERT_TRUE(waitUntil([&] { return received(harness, "Parloquin konnte nicht gestartet werden"); },
                          milliseconds(10000)));
    if (tray) {
        QMenu* menu = day.openMenu(delegate);
        ASSERT_TRUE(menu);
        QAction* retry = entry(menu, "Erneut versuchen");
        ASSERT_TRUE(retry);
        const QPoint at = centreOf(menu, retry);
        day.mouse.click(at.x(), at.y());
    } else {
        // The main window is the app's face: its page "Sonstiges" offers the retry on the model card.
        delegate.openMainWindow(parloquin::SidebarSection::other);
        parloquin::OtherSettingsView* page = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            page = dynamic_cast<parloquin::OtherSettingsView*>(delegate.mainWindow()->contentArea()->page());
            return page && page->retryButton()->isVisible();
        }));
        page->ensureWidgetVisible(page->retryButton());
        drainEventLoop();
        const QPoint at = centreOf(page->retryButton());
        day.mouse.click(at.x(), at.y());
    }
    ASSERT_TRUE(waitUntil([&] { return received(harness, "Parloquin bereit!"); }, milliseconds(10000)));
    EXPECT_EQ(day.attempts, 2);
    EXPECT_TRUE(delegate.dictationMenuItem()->isEnabled());

    // A dictation with the hotkey.
    day.pressHotkey();
    ASSERT_TRUE(waitUntil([&] { return delegate.transcriptionService()->isRecording(); }));
    ASSERT_TRUE(waitUntil([&] { return delegate.transcriptionService()->recordedSamples().size() >= 16000; }));
    day.pressHotkey();
    ASSERT_TRUE(waitUntil([&] { return delegate.historyManager()->records().size() == 1; }));
    ASSERT_TRUE(harness.waitForIdle());

    // "Parloquin beenden" ends the program, though the main window minimises instead of closing.
    ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() != nullptr; }));
    EXPECT_TRUE(delegate.mainWindow()->minimizesOnClose());
    QMenu* menu = day.openMenu(delegate);
    ASSERT_TRUE(menu);
    QAction* quit = entry(menu, "Parloquin beenden");
    ASSERT_TRUE(quit);
    const QPoint at = centreOf(menu, quit);
    QTimer::singleShot(0, [&day, at] { day.mouse.click(at.x(), at.y()); });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program ran on";

    // The stores are written as the program goes.
    harness.delegate.reset();
    platform::UserDefaults stored(harness.store.defaults().storePath());
    const auto history = stored.dataForKey("TranscriptionHistory");
    ASSERT_TRUE(history);
    EXPECT_EQ(nlohmann::json::parse(history->begin(), history->end()).size(), 1u);
}

TEST(FirstDayX11Test, WithATray) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
    parloquin_test::StandaloneTray tray;
    ASSERT_TRUE(tray.isRunning()) << "trayer did not start";
    ASSERT_TRUE(waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }));
    runFirstDay(true);
}

TEST(FirstDayX11Test, WithoutATray) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
    ASSERT_TRUE(waitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }))
        << "a tray runs on the test display";
    runFirstDay(false);
}

}  // namespace
