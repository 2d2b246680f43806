#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <string>

#include "Parloquin/app/LaunchStage.h"
#include "Parloquin/app/StatusIcons.h"
#include "Parloquin/services/AlertPresenter.h"
#include "Parloquin/services/RecordingState.h"
#include "Platform/desktop/NSPasteboard.h"
#include "Platform/system/Clock.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

struct AppEnvironment;
class HistoryManager;
class LaunchNotices;
class TranscriptionService;

// The status item in the tray and its menu: the status line, the start item, "Erneut versuchen"
// after a failed start, the recent transcriptions (copied to the clipboard when chosen), the
// statistics, settings, about and quit entries. It owns the icon, its tooltip and the menu, shows
// the launch stage, the models' setup and the service's state in them, and hands what the entries
// ask for to its Actions; the about dialog and the copy it answers itself.
class TrayMenu : public QObject {
public:
    // What the entries do beyond the menu.
    struct Actions {
        std::function<void()> toggleDictation;
        std::function<void()> retrySetup;
        std::function<void()> openStatistics;
        std::function<void()> openSettings;
        std::function<void()> openHistory;
        std::function<void()> quit;
    };

    TrayMenu(const AppEnvironment& environment, const LaunchNotices& notices, Actions actions,
             QObject* parent = nullptr);
    ~TrayMenu() override;

    // Makes the icon and the menu and shows them; the start item follows the stored hotkey.
    void setup();
    // The service whose progress and history the menu shows; none until the launch makes it.
    void setService(const TranscriptionService* service, HistoryManager* history);

    // The launch went on: the status line, the start item, the submenu and the retry entry follow.
    void setStage(LaunchStage stage);
    // The status line and the tooltip follow the speech models' setup.
    void showModelProgress();
    // The service's state: the picture, the tooltip and the status line.
    void updateStatusIcon(RecordingState state);
    // The number of stored records in the status line.
    void updateStatus();
    void updateStatusTitle(const std::string& text);
    void updateMenuItemTitles();
    void updateRecentTranscriptionsMenu();

    // The title, then what the picture shows, or the activity under way when one is given.
    static QString statusToolTip(StatusImage image, const std::string& activity = {});

    // Entries of the menu.
    void copyTranscription(const QAction* sender);
    void showAbout();

    QSystemTrayIcon* statusItem() const { return statusItem_; }
    QMenu* menu() const { return menu_; }
    QAction* dictationItem() const { return dictationItem_; }
    // "Erneut versuchen": in the menu only after a failed start.
    QAction* retryItem() const { return retryItem_; }
    StatusImage statusImage() const { return statusImage_; }

private:
    QMenu* createRecentTranscriptionsMenu();
    bool waiting() const { return stage_ == LaunchStage::loading; }

    platform::UserDefaults& defaults_;
    std::shared_ptr<const platform::Clock> clock_;
    std::shared_ptr<platform::NSPasteboard> pasteboard_;
    std::shared_ptr<AlertPresenter> alerts_;
    const LaunchNotices& notices_;
    Actions actions_;
    const TranscriptionService* service_ = nullptr;
    HistoryManager* history_ = nullptr;
    LaunchStage stage_ = LaunchStage::loading;

    QPointer<QSystemTrayIcon> statusItem_;
    QPointer<QMenu> menu_;
    QPointer<QAction> dictationItem_;
    QPointer<QAction> retryItem_;
    StatusImage statusImage_ = StatusImage::menuBarIcon;
    platform::UserDefaults::Observation hotkeyObservation_;
};

}  // namespace parloquin
