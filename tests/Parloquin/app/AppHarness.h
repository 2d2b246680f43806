#pragma once

// The application shell in a box: a user-defaults store of its own, a notification service on a
// private session bus, fake hotkeys and microphones, a fixture recogniser, and the real overlay,
// floating button and status menu.

#include <QApplication>
#include <QMenu>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Parloquin/app/AppDelegate.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Platform/desktop/FreedesktopNotificationCenter.h"
#include "Platform/desktop/NSPasteboard.h"
#include "tests/Parloquin/hotkeys/HotkeyFakes.h"
#include "tests/Parloquin/services/ServiceFixtures.h"
#include "tests/Platform/desktop/EventLoopWait.h"
#include "tests/Platform/desktop/NotificationServer.h"
#include "tests/Platform/desktop/PrivateSessionBus.h"

namespace parloquin_test {

class AppHarness {
public:
    AppHarness() {
        hardware->setInputs({testsupport::fakeMicrophone()}, "fake_microphone");
        hardware->setCapture({48000, 480, std::nullopt, {}});  // one second at 48 kHz
        notificationsStarted = notifications.start(bus.address());
        alerts->response = parloquin::alertFirstButtonReturn;
        // The text is copied, never typed into whatever window the test X server has focused.
        store.defaults().setBool("pasteInPlaceMode", false);
    }

    ~AppHarness() {
        delegate.reset();
        drainEventLoop();
    }

    parloquin::AppEnvironment environment() {
        static std::atomic<int> serial{0};
        parloquin::AppEnvironment environment;
        environment.defaults = &store.defaults();
        environment.notifications = std::make_shared<platform::FreedesktopNotificationCenter>(
            bus.connect(QStringLiteral("parloquin-app-%1").arg(++serial)));
        environment.alerts = alerts;
        environment.pasteboard = platform::NSPasteboard::general();
        environment.application = desktop.application;
        environment.clock = clock;
        environment.hotkeyEnvironment = [this] { return hotkeys ? hotkeys() : desktop.environment(); };
        environment.playSound = [this](const std::string& soundName) { sounds.push_back(soundName); };
        environment.systemTrayAvailable = systemTrayAvailable;
        environment.makeTranscriptionService = [this](std::shared_ptr<parloquin::TranscriptionSink> sink) {
            parloquin::TranscriptionEnvironment service;
            service.defaults = &store.defaults();
            service.sink = std::move(sink);
            service.audioHardware = hardware;
            service.clock = clock;
            service.alerts = alerts;
            service.makeRecordingOverlay = parloquin::QtRecordingOverlayWindow::factory();
            return std::make_unique<parloquin::TranscriptionService>(initializer, service);
        };
        return environment;
    }

    // Launches the shell and waits until the launch has ended in the ready or the failure notice.
    parloquin::AppDelegate& launch() {
        delegate = std::make_unique<parloquin::AppDelegate>(environment());
        delegate->applicationDidFinishLaunching();
        waitUntil([this] { return !notifications.received.empty(); }, std::chrono::milliseconds(20000));
        drainEventLoop();
        return *delegate;
    }

    // Waits until the service is back at rest and the shell has heard it.
    bool waitForIdle() {
        return waitUntil([this] {
            auto* service = delegate->transcriptionService();
            return service && !service->isRecording() && !service->isProcessing() &&
                   delegate->statusImage() == parloquin::StatusImage::menuBarIcon;
        });
    }

    std::vector<std::string> summaries() const {
        std::vector<std::string> texts;
        for (const auto& n : notifications.received) texts.push_back(n.summary.toStdString());
        return texts;
    }

    // The shell's entries, separators as "---", a submenu's entries after "> ".
    static std::vector<std::string> titles(const QMenu* menu) {
        std::vector<std::string> texts;
        for (const QAction* action : menu->actions()) texts.push_back(action->isSeparator() ? "---" : action->text().toStdString());
        return texts;
    }

    QMenu* recentTranscriptionsMenu() const {
        for (QAction* action : delegate->statusMenu()->actions())
            if (action->text() == QStringLiteral("Letzte Transkriptionen")) return action->menu();
        return nullptr;
    }

    // The visible window of the given object name (the overlay, the floating button), if any.
    static QWidget* visibleWindow(const char* objectName) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String(objectName) && widget->isVisible()) return widget;
        return nullptr;
    }

    storetest::Store store;
    std::shared_ptr<storetest::ManualClock> clock = std::make_shared<storetest::ManualClock>();
    std::shared_ptr<testsupport::FakeAudioHardware> hardware = testsupport::FakeAudioHardware::make();
    std::shared_ptr<FixtureRecognizer> recognizer = std::make_shared<FixtureRecognizer>();
    parloquin::TranscriptionService::AsrInitializer initializer = [r = recognizer] {
        return std::shared_ptr<parloquin::SpeechRecognizer>(r);
    };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    FakeHotkeyDesktop desktop;
    // The hotkeys' desktop when it is not the fake one.
    std::function<parloquin::HotkeyEnvironment()> hotkeys;
    // Whether the desktop has a tray; unset, it has one.
    std::function<bool()> systemTrayAvailable;
    PrivateSessionBus bus;
    NotificationServer notifications;
    bool notificationsStarted = false;
    std::vector<std::string> sounds;  // the sounds played, by name
    std::unique_ptr<parloquin::AppDelegate> delegate;
};

}  // namespace parloquin_test
