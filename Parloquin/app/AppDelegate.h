#pragma once

#include <QObject>
#include <exception>
#include <map>
#include <memory>
#include <string>

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/app/DictationKeys.h"
#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/LaunchNotices.h"
#include "Parloquin/app/LaunchStage.h"
#include "Parloquin/app/MainWindowPolicy.h"
#include "Parloquin/app/TrayMenu.h"
#include "Parloquin/services/RecordingState.h"
#include "Parloquin/views/SidebarSection.h"
#include "Platform/desktop/UserDefaultsFileWatcher.h"

namespace parloquin {

class HistoryManager;
class StatisticsManager;
class TranscriptionService;

// The application's life: the launch sequence, from the settings' defaults through the tray, the
// dictation service and its models to the ready or the failure notice, and the floating record
// button. What the user sees and does is in its parts: the tray menu (TrayMenu), the main window
// (MainWindowPolicy), the keys that start and stop a dictation (DictationKeys) and the notices
// (LaunchNotices). Main thread only; callbacks from elsewhere are handed to the main loop first.
class AppDelegate : public QObject {
public:
    explicit AppDelegate(AppEnvironment environment = AppEnvironment::system(), QObject* parent = nullptr);
    ~AppDelegate() override;

    // The values read for settings nobody has stored yet.
    static std::map<std::string, platform::UserDefaults::Value> registeredDefaults();

    // Defaults, notification permission, status item (and the welcome alert, once), then the
    // dictation service; returns before its models are loaded.
    void applicationDidFinishLaunching();
    void registerDefaultSettings();

    // Launch steps and their ends.
    void initializeServices();
    void showFirstLaunchExplanationIfNeeded();
    void reportUnreadableSettings();
    // A desktop without a tray hides the icon and its menu: the user is told, and the main window
    // opens (and minimises instead of closing, so that it stays reachable).
    void handleMissingTray();
    // After a failed start: sets the speech models up again in place ("Erneut versuchen").
    void retrySetup();
    // May be called from any thread.
    void handleStateChange(RecordingState state);
    void quit();

    // The floating record button.
    void setupFloatingControlWindow();
    void updateFloatingControlVisibility();

    // The shell's parts.
    TrayMenu& trayMenu() { return *trayMenu_; }
    MainWindowPolicy& mainWindowPolicy() { return *mainWindowPolicy_; }
    DictationKeys& dictationKeys() { return *dictationKeys_; }

    // What the shell holds and does, as the program, the tests and the benchmarks reach it.
    QSystemTrayIcon* statusItem() const { return trayMenu_->statusItem(); }
    QMenu* statusMenu() const { return trayMenu_->menu(); }
    QAction* dictationMenuItem() const { return trayMenu_->dictationItem(); }
    QAction* retryMenuItem() const { return trayMenu_->retryItem(); }
    StatusImage statusImage() const { return trayMenu_->statusImage(); }
    MainWindowView* mainWindow() const { return mainWindowPolicy_->window(); }
    HotkeyManager* hotkeyManager() const { return dictationKeys_->hotkeyManager(); }
    HotkeyRegistration hotkeyRegistration() const { return dictationKeys_->hotkeyRegistration(); }
    TranscriptionService* transcriptionService() const { return transcriptionService_.get(); }
    HistoryManager* historyManager() const { return historyManager_; }
    StatisticsManager* statisticsManager() const { return statisticsManager_; }
    FloatingDictationControlWindow* floatingControlWindow() const { return floatingControlWindow_.get(); }
    bool isInitialized() const { return stage_ == LaunchStage::ready; }
    void openMainWindow(SidebarSection section) { mainWindowPolicy_->open(section); }
    void openSettings() { openMainWindow(SidebarSection::general); }
    void openStatistics() { openMainWindow(SidebarSection::statistics); }
    void openHistory() { openMainWindow(SidebarSection::history); }
    void showAbout() { trayMenu_->showAbout(); }
    void copyTranscription(const QAction* sender) { trayMenu_->copyTranscription(sender); }
    void toggleDictation() { dictationKeys_->toggleDictation(); }
    void handleCommand(DictationCommand command) { dictationKeys_->handleCommand(command); }
    void cancelDictation() { dictationKeys_->cancelDictation(); }

private:
    void modelsLoaded();
    void modelsFailed(const std::exception_ptr& error);
    // A retry of the setup began: the menu waits for the models again.
    void setupRetrying();
    void answerNotReady();
    void updateFloatingControlState();
    platform::UserDefaults& defaults() const { return *environment_.defaults; }

    AppEnvironment environment_;
    LaunchNotices notices_;
    LaunchStage stage_ = LaunchStage::loading;

    std::unique_ptr<TranscriptionService> transcriptionService_;
    HistoryManager* historyManager_ = nullptr;
    StatisticsManager* statisticsManager_ = nullptr;

    std::unique_ptr<TrayMenu> trayMenu_;
    std::unique_ptr<MainWindowPolicy> mainWindowPolicy_;
    std::unique_ptr<DictationKeys> dictationKeys_;
    std::unique_ptr<FloatingDictationControlWindow> floatingControlWindow_;
    std::unique_ptr<platform::UserDefaultsFileWatcher> settingsFileWatcher_;
    platform::UserDefaults::Observation showFloatingControlObservation_;
};

}  // namespace parloquin
