#include "Parloquin/app/MainWindowPolicy.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/views/MainWindowNotifications.h"

namespace parloquin {

MainWindowPolicy::MainWindowPolicy(const AppEnvironment& environment, QObject* parent)
    : QObject(parent),
      defaults_(*environment.defaults),
      application_(environment.application),
      systemTrayAvailable_(environment.systemTrayAvailable) {
    context_.defaults = environment.defaults;
    context_.alerts = environment.alerts;
    context_.application = environment.application;
    context_.loginItem = environment.loginItem;
}

MainWindowPolicy::~MainWindowPolicy() {
    taskbarObservation_.cancel();
    window_.reset();
}

void MainWindowPolicy::setStores(HistoryManager* history, StatisticsManager* statistics,
                                 TranscriptionService* service) {
    context_.historyManager = history;
    context_.statisticsManager = statistics;
    context_.transcriptionService = service;
}

void MainWindowPolicy::setHotkeyManager(HotkeyManager* hotkeyManager) {
    context_.hotkeyManager = hotkeyManager;
    if (window_) window_->setHotkeyManager(hotkeyManager);
}

void MainWindowPolicy::start() {
    // The user may have asked for the task bar entry.
    if (application_) application_->setActivationPolicy(policyWithoutWindow());
    showTaskbarEntry();
    taskbarObservation_ = defaults_.observe(settings::kShowDockIcon, [this](const std::string&) {
        QMetaObject::invokeMethod(this, [this] { applyTaskbarSetting(); }, Qt::QueuedConnection);
    });
}

void MainWindowPolicy::stop() { taskbarObservation_.cancel(); }

bool MainWindowPolicy::hasTray() const { return !systemTrayAvailable_ || systemTrayAvailable_(); }

void MainWindowPolicy::open(SidebarSection section) {
    if (window_) {
        emit MainWindowNotifications::defaultCenter()->showMainWindowSection(section);
    } else if (!storesExist()) {
        // The launch has not made the stores yet.
        QTimer::singleShot(500, this, [this, section] { open(section); });
        return;
    } else {
        createWindow(section);
    }
    // Listed before it is shown, so that it never flashes out of the task bar.
    if (application_) application_->setActivationPolicy(ActivationPolicy::regular);
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (application_) application_->activateIgnoringOtherApps();
}

void MainWindowPolicy::createWindow(SidebarSection section) {
    window_ = std::make_unique<MainWindowView>(context_, section);
    window_->setWindowTitle(QStringLiteral("Parloquin"));
    window_->resize(900, 600);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window_->move(screen->availableGeometry().center() - window_->rect().center());
    connect(window_.get(), &MainWindowView::windowWillClose, this, [this] { windowWillClose(); });
    window_->setMinimizesOnClose(defaults_.boolForKey(settings::kShowDockIcon) || !hasTray());
}

void MainWindowPolicy::windowWillClose() {
    if (application_) application_->setActivationPolicy(policyWithoutWindow());
}

// A task bar lists windows, not applications: the entry the user asked to keep is the main window,
// minimised while it is not open. It is made once the stores exist (tried again every 0.5 s).
void MainWindowPolicy::showTaskbarEntry() {
    if (!defaults_.boolForKey(settings::kShowDockIcon)) return;
    if (!window_) {
        if (!storesExist()) {
            QTimer::singleShot(500, this, [this] { showTaskbarEntry(); });
            return;
        }
        createWindow(SidebarSection::general);
    }
    if (application_) application_->setActivationPolicy(ActivationPolicy::regular);
    if (!window_->isVisible()) window_->showMinimized();
}

// The task bar setting changed (on the general page, by the reset or in the settings file). On,
// the entry appears, and closing the window minimises it from now on. Off, a window that is not
// open (closed or minimised) is hidden, taking its entry with it; an open window stays open.
void MainWindowPolicy::applyTaskbarSetting() {
    const bool keep = defaults_.boolForKey(settings::kShowDockIcon);
    if (window_) window_->setMinimizesOnClose(keep || !hasTray());
    if (keep) {
        showTaskbarEntry();
        return;
    }
    if (window_ && window_->isVisible() && !window_->isMinimized()) return;
    if (window_) window_->hide();
    windowWillClose();
}

// Without a window the application leaves the task bar, unless the user keeps it there.
ActivationPolicy MainWindowPolicy::policyWithoutWindow() const {
    return defaults_.boolForKey(settings::kShowDockIcon) || !hasTray() ? ActivationPolicy::regular
                                                                       : ActivationPolicy::accessory;
}

}  // namespace parloquin
