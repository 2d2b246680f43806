#include "Parloquin/app/AppEnvironment.h"

#include <QSystemTrayIcon>

#include "Parloquin/app/MessageBoxAlertPresenter.h"
#include "Parloquin/app/QtApplicationActivation.h"
#include "Parloquin/app/QtRecordingOverlayWindow.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Platform/desktop/NSSound.h"

namespace parloquin {

AppEnvironment AppEnvironment::system() {
    AppEnvironment environment;
    environment.defaults = &platform::UserDefaults::standard();
    environment.notifications = platform::UNUserNotificationCenter::current();
    environment.alerts = std::make_shared<MessageBoxAlertPresenter>();
    environment.pasteboard = platform::NSPasteboard::general();
    environment.application = std::make_shared<QtApplicationActivation>();
    environment.clock = platform::Clock::system();
    environment.loginItem = platform::SMAppService::mainApp();
    environment.hotkeyEnvironment = [alerts = environment.alerts] { return HotkeyEnvironment::system(alerts); };
    environment.playSound = [](const std::string& soundName) { platform::NSSound(soundName).play(); };
    environment.systemTrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    environment.makeTranscriptionService = [alerts = environment.alerts,
                                            defaults = environment.defaults](std::shared_ptr<TranscriptionSink> sink) {
        TranscriptionEnvironment service;
        service.defaults = defaults;
        service.alerts = alerts;
        service.sink = std::move(sink);
        service.makeRecordingOverlay = QtRecordingOverlayWindow::factory();
        return std::make_unique<TranscriptionService>(TranscriptionService::defaultAsrInitializer(), service);
    };
    return environment;
}

TranscriptionStores& AppEnvironment::transcriptionStores() {
    if (!stores) {
        stores = std::make_shared<TranscriptionStores>(defaults != nullptr ? *defaults : platform::UserDefaults::standard(),
                                                       clock ? clock : platform::Clock::system());
    }
    return *stores;
}

}  // namespace parloquin
