#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "Parloquin/hotkeys/ApplicationActivation.h"
#include "Parloquin/views/MainWindowView.h"
#include "Parloquin/views/PageContext.h"
#include "Parloquin/views/SidebarSection.h"
#include "Platform/system/UserDefaults.h"

namespace parloquin {

struct AppEnvironment;

// The main window's life in the shell: it is made once the stores exist and then hidden and shown
// again, opens on the section asked for, and decides whether the application is listed in the
// task bar. It owns the window, follows the "showDockIcon" setting (the kept entry is the window,
// minimised) and knows whether the desktop has a tray: without one the window minimises instead of
// closing, so that it stays reachable.
class MainWindowPolicy : public QObject {
public:
    explicit MainWindowPolicy(const AppEnvironment& environment, QObject* parent = nullptr);
    ~MainWindowPolicy() override;

    // What the pages are made with; until the stores are given a request waits for them.
    void setStores(HistoryManager* history, StatisticsManager* statistics, TranscriptionService* service);
    void setHotkeyManager(HotkeyManager* hotkeyManager);

    // Lists the application as the setting asks, shows the kept entry and follows the setting.
    void start();
    // Stops following the setting (the program is ending).
    void stop();

    // Shows the main window on the section; until the stores exist it tries again every 0.5 s.
    void open(SidebarSection section);
    // The main window was closed: it stays for the next time.
    void windowWillClose();
    // The task bar entry the user asked to keep ("showDockIcon"): the main window, minimised.
    void showTaskbarEntry();
    void applyTaskbarSetting();

    bool hasTray() const;
    MainWindowView* window() const { return window_.get(); }

private:
    void createWindow(SidebarSection section);
    bool storesExist() const { return context_.historyManager && context_.statisticsManager; }
    ActivationPolicy policyWithoutWindow() const;

    platform::UserDefaults& defaults_;
    std::shared_ptr<ApplicationActivation> application_;
    std::function<bool()> systemTrayAvailable_;
    PageContext context_;
    std::unique_ptr<MainWindowView> window_;  // made once, then hidden and shown again
    platform::UserDefaults::Observation taskbarObservation_;
};

}  // namespace parloquin
