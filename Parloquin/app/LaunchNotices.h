#pragma once

#include <exception>
#include <memory>
#include <string>

#include "Parloquin/hotkeys/HotkeyRegistration.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Platform/desktop/UNUserNotificationCenter.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

struct AppEnvironment;
class TranscriptionService;

// What the shell tells the user about its launch, and the one way it posts a notification. It owns
// the texts of the welcome alert, of the ready and the failure notifications, of the answer to a
// start before the models are ready, of a missing tray and of a settings file that cannot be read
// or written. It keeps no state: the launch sequence decides when each is said.
class LaunchNotices {
public:
    explicit LaunchNotices(const AppEnvironment& environment);

    // A notification of the session's notification service; nothing without one.
    void post(const std::string& title, const std::string& body) const;
    void requestAuthorization() const;

    // The welcome alert of the first launch; true when the user chose "Einstellungen öffnen".
    bool showWelcome() const;
    // The models are loaded: which shortcut really works, and what the models take on disk.
    void postReady(const std::string& hotkey, HotkeyRegistration registration) const;
    // The models did not load: the real cause, and the connection hint only after a download.
    void reportLaunchFailure(const std::exception_ptr& error) const;
    // A start asked for before the models are ready: the user learns why nothing happens.
    void answerNotReady(bool launchFailed, const TranscriptionService* service) const;
    // How far the models' setup has come, for the start item and the answer to a start.
    static std::string notReadyText(const TranscriptionService* service);
    // A desktop without a tray: the icon and its menu are missing, and where to find the menu.
    void reportMissingTray() const;

    // The store set an unreadable settings file aside at launch and started empty.
    void reportUnreadableSettings(const platform::UserDefaults::LoadProblem& problem) const;
    // The settings file was edited while Parloquin ran, into something it cannot read.
    void reportSettingsFileProblem(const platform::UserDefaults::LoadProblem& problem) const;
    // The settings file cannot be written (the store keeps what is unsaved).
    void reportSaveProblem(const platform::UserDefaults::SaveProblem& problem) const;

private:
    std::shared_ptr<platform::UNUserNotificationCenter> notifications_;
    std::shared_ptr<AlertPresenter> alerts_;
};

}  // namespace parloquin
