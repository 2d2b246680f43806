// The shell on a real X server with a stand-alone system tray: the icon docks, its menu opens
// with every entry, and a dictation started and stopped from the menu pastes where the user types.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTest>
#include <algorithm>
#include <fstream>

#include "Parloquin/app/AppDelegate.h"
#include "tests/Parloquin/app/AppHarness.h"
#include "tests/Parloquin/app/ParloquinProcess.h"
#include "tests/Parloquin/app/StandaloneTray.h"
#include "tests/Platform/desktop/FocusedLineEdit.h"
#include "tests/Platform/desktop/XTestMouse.h"
#include "tests/support/TemporaryDirectory.h"

namespace {

using parloquin::AppDelegate;
using parloquin::StatusImage;
using parloquin_test::AppHarness;
using parloquin_test::drainEventLoop;
using parloquin_test::StandaloneTray;
using parloquin_test::waitUntil;
using parloquin_test::XTestMouse;
using Titles = std::vector<std::string>;

// The tray icon's own window, once Qt has made it.
QWidget* trayIconWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (QLatin1String(widget->metaObject()->className()) == QLatin1String("QSystemTrayIconSys")) return widget;
    return nullptr;
}

// Waits until the shell's icon sits in the tray.
bool docked(const StandaloneTray& tray) {
    return waitUntil([&] {
        QWidget* icon = trayIconWindow();
        return icon && tray.holds(icon->winId());
    });
}

class AppTrayX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
        ASSERT_TRUE(tray.isRunning()) << "trayer did not start";
    }
    StandaloneTray tray;
};

TEST_F(AppTrayX11Test, IconDocksAndAClickOpensTheMenu) {
    AppHarness harness;
    ASSERT_TRUE(harness.notificationsStarted);
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    ASSERT_TRUE(docked(tray));
    const QRect icon = delegate.statusItem()->geometry();
    ASSERT_FALSE(icon.isEmpty());

    XTestMouse mouse;
    mouse.click(icon.center().x(), icon.center().y());
    QMenu* menu = delegate.statusMenu();
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    EXPECT_EQ(AppHarness::titles(menu),
              (Titles{"Parloquin - Bereit", "---", "Aufnahme starten (Umschalt+Super+Leertaste)", "Letzte Transkriptionen",
                      "Statistiken...", "---", "Einstellungen...", "Über Parloquin", "---", "Parloquin beenden"}));
    menu->hide();
}

TEST_F(AppTrayX11Test, DictationFromTheTrayMenuPastesWhereTheUserTypes) {
    parloquin_test::FocusedLineEdit editor;
    ASSERT_TRUE(editor.isFocused());
    AppHarness harness;
    harness.store.defaults().setBool("pasteInPlaceMode", true);
    harness.hardware->setCapture({96000, 480, std::nullopt, {}});
    harness.recognizer->setText("Aus dem Menü diktiert.");
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(delegate.isInitialized());
    ASSERT_TRUE(docked(tray));

    XTestMouse mouse;
    QMenu* menu = delegate.statusMenu();
    auto chooseStartItem = [&] {
        const QPoint icon = delegate.statusItem()->geometry().center();
        mouse.click(icon.x(), icon.y());
        if (!waitUntil([&] { return menu->isVisible(); })) return false;
        const QPoint item = menu->mapToGlobal(menu->actionGeometry(delegate.dictationMenuItem()).center());
        mouse.click(item.x(), item.y());
        return waitUntil([&] { return !menu->isVisible(); });
    };

    ASSERT_TRUE(chooseStartItem());
    ASSERT_TRUE(waitUntil([&] { return delegate.statusImage() == StatusImage::recording; }));
    QWidget* overlay = AppHarness::visibleWindow("RecordingOverlayWindow");
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(overlay));
    ASSERT_TRUE(waitUntil([&] { return delegate.transcriptionService()->recordedSamples().size() >= 16000; }));

    ASSERT_TRUE(chooseStartItem());
    ASSERT_TRUE(harness.waitForIdle());
    EXPECT_TRUE(waitUntil([] { return AppHarness::visibleWindow("RecordingOverlayWindow") == nullptr; }));
    EXPECT_TRUE(waitUntil([&] { return editor.text() == "Aus dem Menü diktiert."; })) << editor.text();
    EXPECT_EQ(AppHarness::titles(harness.recentTranscriptionsMenu()),
              (Titles{"in 0 Sekunden: Aus dem Menü diktiert....", "---", "Gesamten Verlauf anzeigen..."}));
}

// The program itself, started as the user would, on a machine that cannot fetch the models.
TEST_F(AppTrayX11Test, ProgramWithoutReachableModelsSaysSoAndStaysInTheTray) {
    parloquin_test::PrivateSessionBus bus;
    parloquin_test::NotificationServer notifications;
    ASSERT_TRUE(notifications.start(bus.address()));
    testsupport::TemporaryDirectory home;
    std::filesystem::create_directories(home.path() / "config/Parloquin");
    std::ofstream(home.path() / "config/Parloquin/defaults.json") << R"({"hasShownFirstLaunchExplanation":true})";

    parloquin_test::ParloquinProcess program(home.path());
    program.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    ASSERT_TRUE(program.start());

    EXPECT_TRUE(waitUntil([&] { return tray.dockedClasses().contains("Parloquin"); }, std::chrono::milliseconds(20000)))
        << tray.dockedClasses().join(",").toStdString();
    ASSERT_TRUE(waitUntil([&] { return !notifications.received.empty(); }, std::chrono::milliseconds(30000)));
    EXPECT_EQ(notifications.received.front().appName, "Parloquin");
    EXPECT_EQ(notifications.received.front().summary, "Parloquin konnte nicht gestartet werden");
    // It keeps running in the tray.
    drainEventLoop();
    EXPECT_TRUE(program.isRunning());
}

// A desktop with no tray: the user learns why there is no icon, the main window opens (and stays
// reachable: closing minimises it), and a right click on the floating button opens the tray menu.
TEST(AppWithoutTrayX11Test, TheMainWindowOpensAndTheFloatingButtonOffersTheMenu) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "needs an X server (DISPLAY)";
    // A tray an earlier test ran is seen gone once its selection is given up.
    ASSERT_TRUE(waitUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }))
        << "a tray runs on the test display";
    AppHarness harness;
    ASSERT_TRUE(harness.notificationsStarted);
    harness.systemTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    AppDelegate& delegate = harness.launch();
    ASSERT_TRUE(waitUntil([&] { return delegate.isInitialized(); }));
    ASSERT_TRUE(waitUntil([&] {
        const auto texts = harness.summaries();
        return std::find(texts.begin(), texts.end(), "Kein Infobereich gefunden") != texts.end();
    }));
    for (const auto& n : harness.notifications.received) {
        if (n.summary == QStringLiteral("Kein Infobereich gefunden")) {
            EXPECT_EQ(n.body.toStdString(),
                      "Die Arbeitsoberfläche zeigt keine Symbole im Infobereich, darum fehlt das Parloquin-Symbol mit "
                      "seinem Menü. Das Hauptfenster ist geöffnet; das Menü erreichst du auch mit einem Rechtsklick "
                      "auf die schwebende Aufnahmetaste.");
        }
    }
    ASSERT_TRUE(waitUntil([&] { return delegate.mainWindow() && delegate.mainWindow()->isVisible(); }));
    delegate.mainWindow()->close();
    drainEventLoop();
    EXPECT_TRUE(delegate.mainWindow()->isVisible()) << "closed, it would be out of reach";

    QWidget* button = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (button = AppHarness::visibleWindow("FloatingDictationControlWindow")); }));
    const QPoint centre = button->mapToGlobal(button->rect().center());
    XTestMouse mouse;
    mouse.click(centre.x(), centre.y(), 3);
    QMenu* menu = delegate.statusMenu();
    ASSERT_TRUE(waitUntil([&] { return menu->isVisible(); }));
    EXPECT_EQ(AppHarness::titles(menu),
              (Titles{"Parloquin - Bereit", "---", "Aufnahme starten (Umschalt+Super+Leertaste)", "Letzte Transkriptionen",
                      "Statistiken...", "---", "Einstellungen...", "Über Parloquin", "---", "Parloquin beenden"}));
    menu->hide();
    EXPECT_FALSE(delegate.transcriptionService()->isRecording()) << "a right click is no click";
}

}  // namespace
