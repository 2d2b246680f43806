#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <exception>
#include <map>
#include <memory>
#include <string>

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/app/DictationControl.h"
#include "Parloquin/app/FloatingDictationControlWindow.h"
#include "Parloquin/app/StatusIcons.h"
#include "Parloquin/app/StatusMenuTexts.h"
#include "Parloquin/hotkeys/HotkeyManager.h"
#include "Parloquin/hotkeys/UserDefaultsHotkeySettings.h"
#include "Parloquin/services/RecordingState.h"
#include "Parloquin/views/MainWindowView.h"
#include "Parloquin/views/SidebarSection.h"
#include "Platform/desktop/UserDefaultsFileWatcher.h"

namespace parloquin {

class HistoryManager;
class StatisticsManager;
class TranscriptionService;

// The application's life: the launch sequence, the status item in the tray with its menu, the
// notifications, the dictation hotkey and the floating record button. Main thread only; callbacks
// from elsewhere are handed to the main loop first.
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
    void setupHotkeyManager();
    void postReadyNotification();
    void postUserNotification(const std::string& title, const std::string& body);
    void showFirstLaunchExplanationIfNeeded();
    void reportUnreadableSettings();
    // A desktop without a tray hides the icon and its menu: the user is told, and the main window
    // opens (and minimises instead of closing, so that it stays reachable).
    void handleMissingTray();
    bool hasTray() const;

    // The status item.
    void setupStatusItem();
    void updateMenuItemTitles();
    void updateStatus();
    void updateStatusIcon(RecordingState state);
    // The title, then what the picture shows, or the activity under way when one is given.
    static QString statusToolTip(StatusImage image, const std::string& activity = {});
    void updateStatusTitle(const std::string& text);
    QMenu* createRecentTranscriptionsMenu();
    void updateRecentTranscriptionsMenu();

    // Menu actions.
    void toggleDictation();
    void copyTranscription(const QAction* sender);
    void openSettings();
    void openStatistics();
    void openHistory();
    void showAbout();
    void quit();
    // After a failed start: sets the speech models up again in place ("Erneut versuchen").
    void retrySetup();
    // Shows the main window on the section; until the stores exist it tries again every 0.5 s.
    void openMainWindow(SidebarSection section);
    // The main window was closed: it stays for the next time.
    void windowWillClose();
    // The task bar entry the user asked to keep ("showDockIcon"): the main window, minimised.
    void showTaskbarEntry();
    void applyTaskbarSetting();

    // The hotkey and the service's state.
    void handleHotkeyPressed();
    void handleHotkeyReleased();
    void handleHotkeyCombined();
    // A desktop shortcut's command ("parloquin --start", "--stop", "--toggle"): start, stop, or
    // either, as the hotkey's press would; a start while recording and a stop while idle do nothing.
    void handleCommand(DictationCommand command);
    // Ends a running recording without transcribing it (the cancel key).
    void cancelDictation();
    // May be called from any thread.
    void handleStateChange(RecordingState state);

    // The floating record button.
    void setupFloatingControlWindow();
    void updateFloatingControlVisibility();

    // What the shell holds, for whoever needs to look.
    QSystemTrayIcon* statusItem() const { return statusItem_; }
    QMenu* statusMenu() const { return menu_; }
    QAction* dictationMenuItem() const { return dictationMenuItem_; }
    // "Erneut versuchen": in the menu only after a failed start.
    QAction* retryMenuItem() const { return retryMenuItem_; }
    StatusImage statusImage() const { return statusImage_; }
    TranscriptionService* transcriptionService() const { return transcriptionService_.get(); }
    HotkeyManager* hotkeyManager() const { return hotkeyManager_.get(); }
    HistoryManager* historyManager() const { return historyManager_; }
    StatisticsManager* statisticsManager() const { return statisticsManager_; }
    FloatingDictationControlWindow* floatingControlWindow() const { return floatingControlWindow_.get(); }
    MainWindowView* mainWindow() const { return mainWindow_.get(); }
    bool isInitialized() const { return isInitialized_; }
    HotkeyRegistration hotkeyRegistration() const;

private:
    void perform(DictationAction action);
    // The start or stop sound, when the hotkey feedback is on.
    void playFeedback(DictationAction action);
    void modelsLoaded();
    // The status line and the tooltip follow the speech models' setup.
    void showModelProgress();
    void modelsFailed(const std::exception_ptr& error);
    // A retry of the setup began: the menu waits for the models again.
    void setupRetrying();
    // How far the models' setup has come, for the start item and the answer to a start.
    std::string notReadyText() const;
    // A start asked for before the models are ready: the user learns why nothing happens.
    void answerNotReady();
    void updateFloatingControlState();
    void reportSettingsFileProblem(const platform::UserDefaults::LoadProblem& problem);
    void createMainWindow(SidebarSection section);
    ActivationPolicy policyWithoutWindow() const;
    platform::UserDefaults& defaults() const { return *environment_.defaults; }
    std::string primaryHotkey() const;

    AppEnvironment environment_;
    UserDefaultsHotkeySettings hotkeySettings_;

    QPointer<QSystemTrayIcon> statusItem_;
    QPointer<QMenu> menu_;
    QPointer<QAction> dictationMenuItem_;
    QPointer<QAction> retryMenuItem_;
    StatusImage statusImage_ = StatusImage::menuBarIcon;
    platform::UserDefaults::Observation menuTitleObservation_;

    std::unique_ptr<TranscriptionService> transcriptionService_;
    std::unique_ptr<HotkeyManager> hotkeyManager_;
    HistoryManager* historyManager_ = nullptr;
    StatisticsManager* statisticsManager_ = nullptr;
    bool isInitialized_ = false;
    bool launchFailed_ = false;  // the models could not be loaded; nothing will come of waiting
    bool pressStartedRecording_ = false;  // the hotkey's last press started the running recording

    std::unique_ptr<FloatingDictationControlWindow> floatingControlWindow_;
    std::unique_ptr<MainWindowView> mainWindow_;  // made once, then hidden and shown again
    std::unique_ptr<platform::UserDefaultsFileWatcher> settingsFileWatcher_;
    platform::UserDefaults::Observation showFloatingControlObservation_;
    platform::UserDefaults::Observation taskbarObservation_;
};

}  // namespace parloquin
