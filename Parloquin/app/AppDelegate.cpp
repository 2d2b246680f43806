#include "Parloquin/app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeySequence>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "Parloquin/app/DictationControl.h"
#include "Parloquin/app/SettingsFileNotices.h"
#include "Parloquin/hotkeys/DefaultHotkey.h"
#include "Parloquin/hotkeys/KeyNames.h"
#include "Parloquin/services/AppVersion.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/ModelFolder.h"
#include "Parloquin/services/ModelStorageSize.h"
#include "Parloquin/services/StatisticsManager.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/views/GeneralSettings.h"
#include "Parloquin/views/MainWindowNotifications.h"
#include "Parloquin/views/ModelProgressTexts.h"
#include "Platform/net/URLError.h"
#include "Platform/system/RelativeDateTimeFormatter.h"
#include "Platform/system/TimeZone.h"
#include "Platform/system/UUID.h"
#include "RarivOredu/shared/ModelFolderError.h"
#include "RarivOredu/shared/ModelStorageError.h"

namespace parloquin {
namespace {

using Value = platform::UserDefaults::Value;

constexpr const char* kRecentTranscriptionsTitle = "Letzte Transkriptionen";

// The feedback of the hotkey: sounds of the desktop's theme as a dictation starts and stops.
constexpr const char* kStartSound = "device-added";
constexpr const char* kStopSound = "device-removed";

const char* const kWelcomeText =
    "Parloquin bietet zwei Aufnahmemodi:\n"
    "\n"
    "🎯 Umschaltmodus (Standard: Strg+Alt+Leertaste)\n"
    "• Einmal drücken zum Starten, nochmal zum Stoppen\n"
    "• Funktioniert sofort ohne Berechtigungen\n"
    "• Ideal für längere Aufnahmen\n"
    "\n"
    "🎙️ Halten-zum-Aufnehmen (Alt-Taste)\n"
    "• Halte die Alt-Taste beim Sprechen\n"
    "• In einer X11-Sitzung mit XInput 2; unter Wayland hältst du stattdessen eine Tastenkombination (KDE "
    "Plasma, sway)\n"
    "• Ideal für kurze Sprachbefehle\n"
    "\n"
    "Weitere Funktionen:\n"
    "• Direktes Einfügen unter X11 und unter Wayland auf KDE Plasma, GNOME und sway\n"
    "• Wo das nicht geht, liegt der Text in der Zwischenablage\n"
    "\n"
    "Unter Linux musst du dafür keine Berechtigungen vergeben; nur GNOME fragt einmal, ob Parloquin tippen darf.";

// The version line comes from the build, as on the page "Sonstiges".
const char* const kAboutCredits =
    "\n\nUnterstützt von:\n• Parloquin-Engine\n• 25 Sprachen\n• LibTorch auf der CPU\n\n"
    "Deine Sprache verlässt diesen Rechner nie.";

// A menu title shows the text as it is: "&" would mark a mnemonic, a tab would start the shortcut
// column and line breaks would split the entry.
QString menuTitle(const std::string& text) {
    QString title = QString::fromStdString(text);
    title.replace(QLatin1Char('&'), QLatin1String("&&"));
    for (QChar breaking : {QChar('\n'), QChar('\r'), QChar('\t'), QChar(0x2028), QChar(0x2029)})
        title.replace(breaking, QLatin1Char(' '));
    return title;
}

// What the user reads when the speech models did not load: the real cause (which file, what
// went wrong), and the hint about the connection only where a download is what failed.
std::string launchFailureBody(const std::exception_ptr& error) {
    std::string cause = "Unbekannter Fehler";
    bool download = false;
    try {
        if (error) std::rethrow_exception(error);
    } catch (const rarivoredu::ModelStorageError& e) {
        cause = ModelProgressTexts::insufficientSpace(e);
    } catch (const rarivoredu::ModelFolderError& e) {
        cause = e.what();
        download = true;
    } catch (const platform::NSError& e) {
        cause = e.what();
        download = e.domain() == platform::URLError::domain;
    } catch (const std::exception& e) {
        cause = e.what();
    } catch (...) {
    }
    std::string body = "Die Sprachmodelle konnten nicht geladen werden: " + cause;
    if (download) body += "\nBitte prüfe die Verbindung und wähle „Erneut versuchen“ im Menü von Parloquin.";
    return body;
}

}  // namespace

AppDelegate::AppDelegate(AppEnvironment environment, QObject* parent)
    : QObject(parent),
      environment_(std::move(environment)),
      hotkeySettings_(*environment_.defaults) {}

AppDelegate::~AppDelegate() {
    if (environment_.defaults) environment_.defaults->setSaveProblemHandler({});
    menuTitleObservation_.cancel();
    showFloatingControlObservation_.cancel();
    taskbarObservation_.cancel();
    settingsFileWatcher_.reset();
    mainWindow_.reset();
    floatingControlWindow_.reset();
    hotkeyManager_.reset();
    transcriptionService_.reset();  // its stores write what they still hold
    delete menu_.data();
    // What could not be saved while Parloquin ran gets its last chance.
    if (environment_.defaults) environment_.defaults->save();
}

std::map<std::string, Value> AppDelegate::registeredDefaults() {
    std::map<std::string, Value> registered = {
        {settings::kPrimaryHotkey, Value(std::string(settings::kDefaultPrimaryHotkey))},
        {settings::kPrimaryHotkeyKeyCode, Value(std::int64_t(DefaultHotkey::values.keyCode))},
        {settings::kPrimaryHotkeyModifiers, Value(std::int64_t(DefaultHotkey::values.modifiers))},
        {settings::kPrimaryHotkeyIsSingleKey, Value(false)},
        {settings::kRecordingMode, Value(std::string("auto"))},
        {settings::kPasteInPlaceMode, Value(true)},
        {settings::kCancelHotkey, Value(std::string("Escape"))},
        {settings::kHotkeyFeedback, Value(true)},
        {settings::kHasShownAccessibilityGuidance, Value(false)},
    };
    // The general page's settings with the page's defaults, but for the two only the page reads.
    for (const auto& field : GeneralSettings::fields())
        if (field.key != settings::kPostProcessingEnabled && field.key != settings::kPostProcessingMode)
            registered.emplace(field.key, field.defaultValue);
    return registered;
}

void AppDelegate::registerDefaultSettings() {
    // Before the registration domain answers for the hotkey: whoever has none stored gets one.
    DefaultHotkey::storeForUserWithoutOne(defaults());
    defaults().registerDefaults(registeredDefaults());
}

// MARK: launch

void AppDelegate::applicationDidFinishLaunching() {
    registerDefaultSettings();
    // The user may have asked for the task bar entry.
    if (environment_.application) environment_.application->setActivationPolicy(policyWithoutWindow());
    showTaskbarEntry();
    taskbarObservation_ = defaults().observe(settings::kShowDockIcon, [this](const std::string&) {
        QMetaObject::invokeMethod(this, [this] { applyTaskbarSetting(); }, Qt::QueuedConnection);
    });
    // Whatever changes the settings file from now on is seen at once.
    settingsFileWatcher_ = std::make_unique<platform::UserDefaultsFileWatcher>(
        defaults(), [this](const platform::UserDefaults::LoadProblem& problem) { reportSettingsFileProblem(problem); });
    // A settings file that cannot be written is said once (the store keeps what is unsaved).
    QPointer<AppDelegate> weak(this);
    defaults().setSaveProblemHandler([weak](const platform::UserDefaults::SaveProblem& problem) {
        QObject* target = weak.data();
        if (!target) return;
        QMetaObject::invokeMethod(
            target, [weak, problem] {
                if (weak)
                    weak->postUserNotification(SettingsFileNotices::saveFailedTitle,
                                               SettingsFileNotices::saveFailedBody(problem));
            },
            Qt::QueuedConnection);
    });
    if (environment_.notifications)
        environment_.notifications->requestAuthorization(
            platform::UNAuthorizationOptionAlert | platform::UNAuthorizationOptionSound, [](bool) {});
    setupStatusItem();
    reportUnreadableSettings();
    handleMissingTray();
    QMetaObject::invokeMethod(this, [this] { initializeServices(); }, Qt::QueuedConnection);
}

bool AppDelegate::hasTray() const {
    return !environment_.systemTrayAvailable || environment_.systemTrayAvailable();
}

void AppDelegate::handleMissingTray() {
    if (hasTray()) return;
    postUserNotification("Kein Infobereich gefunden",
                         "Die Arbeitsoberfläche zeigt keine Symbole im Infobereich, darum fehlt das Parloquin-Symbol "
                         "mit seinem Menü. Das Hauptfenster ist geöffnet; das Menü erreichst du auch mit einem "
                         "Rechtsklick auf die schwebende Aufnahmetaste.");
    openMainWindow(SidebarSection::general);
}

// The store set an unreadable settings file aside and started empty: the user learns why the
// settings are back to their defaults, and where the old file is.
void AppDelegate::reportUnreadableSettings() {
    const auto problem = defaults().loadProblem();
    if (!problem) return;
    std::string body = "Die gespeicherten Einstellungen konnten nicht gelesen werden. Parloquin startet mit den "
                       "Standardeinstellungen";
    if (problem->setAsidePath.empty()) {
        body += " und speichert in dieser Sitzung keine Änderungen.";
    } else {
        body += "; die alte Datei liegt unter " + problem->setAsidePath.string() + ".";
    }
    postUserNotification("Einstellungen zurückgesetzt", body);
}

// The settings file was edited while Parloquin ran, into something it cannot read.
void AppDelegate::reportSettingsFileProblem(const platform::UserDefaults::LoadProblem& problem) {
    std::string body = "Die geänderte Einstellungsdatei konnte nicht gelesen werden. Parloquin behält die bisherigen "
                       "Einstellungen";
    if (problem.setAsidePath.empty()) {
        body += " und speichert in dieser Sitzung keine Änderungen.";
    } else {
        body += "; die Datei liegt unter " + problem.setAsidePath.string() + ".";
    }
    postUserNotification("Einstellungen nicht übernommen", body);
}

void AppDelegate::initializeServices() {
    if (!environment_.makeTranscriptionService) return;
    transcriptionService_ = environment_.makeTranscriptionService();
    historyManager_ = &transcriptionService_->historyManager();
    statisticsManager_ = &transcriptionService_->statisticsManager();
    QPointer<AppDelegate> weak(this);
    // A dictation that cannot start, or a text that could not be pasted, is never silent.
    transcriptionService_->onNotice = [weak](const std::string& title, const std::string& body) {
        if (weak) weak->postUserNotification(title, body);
    };
    // A first start fetches and converts the models for minutes: the tray says how far it is.
    connect(transcriptionService_.get(), &TranscriptionService::modelProgressChanged, this,
            [this] { showModelProgress(); });
    // A retry asked for on the page "Sonstiges" is one from the menu too.
    connect(transcriptionService_.get(), &TranscriptionService::initializationFailedChanged, this, [this] {
        if (launchFailed_ && !transcriptionService_->initializationFailed()) setupRetrying();
    });
    transcriptionService_->onStateChanged = [weak](RecordingState state) {
        if (weak) weak->handleStateChange(state);
    };
    // The hotkey is the desktop's from the start: a press during the first setup must not reach the
    // focused window, and is answered with how far the setup has come.
    setupHotkeyManager();
    transcriptionService_->initialize([weak](std::exception_ptr error) {
        if (!weak) return;
        if (error)
            weak->modelsFailed(error);
        else
            weak->modelsLoaded();
    });
}

void AppDelegate::retrySetup() {
    if (!launchFailed_ || !transcriptionService_) return;
    transcriptionService_->retryInitialization();
}

void AppDelegate::setupRetrying() {
    launchFailed_ = false;
    if (menu_ && retryMenuItem_) menu_->removeAction(retryMenuItem_);
    updateStatusTitle("Wird geladen...");
    updateMenuItemTitles();
    updateRecentTranscriptionsMenu();
}

void AppDelegate::modelsLoaded() {
    isInitialized_ = true;
    updateMenuItemTitles();
    postReadyNotification();
    // The submenu said "Wird geladen..." until now.
    updateRecentTranscriptionsMenu();
}

void AppDelegate::modelsFailed(const std::exception_ptr& error) {
    isInitialized_ = false;
    launchFailed_ = true;
    updateStatusTitle("Initialisierung fehlgeschlagen");
    // Without models a start does nothing: the item says so by being disabled, and the submenu
    // stops waiting for them. The setup can be tried again in place.
    updateMenuItemTitles();
    updateRecentTranscriptionsMenu();
    if (menu_ && retryMenuItem_ && !menu_->actions().contains(retryMenuItem_.data()))
        menu_->insertAction(menu_->actions().value(1), retryMenuItem_);
    postUserNotification("Parloquin konnte nicht gestartet werden", launchFailureBody(error));
}

void AppDelegate::setupHotkeyManager() {
    HotkeyEnvironment hotkeys =
        environment_.hotkeyEnvironment ? environment_.hotkeyEnvironment() : HotkeyEnvironment::system(environment_.alerts);
    if (!hotkeys.application) hotkeys.application = environment_.application;
    hotkeyManager_ = std::make_unique<HotkeyManager>(hotkeySettings_, std::move(hotkeys));
    QPointer<AppDelegate> weak(this);
    hotkeyManager_->onHotkeyPressed = [weak] {
        if (weak) weak->handleHotkeyPressed();
    };
    hotkeyManager_->onHotkeyReleased = [weak] {
        if (weak) weak->handleHotkeyReleased();
    };
    hotkeyManager_->onHotkeyCombined = [weak] {
        if (weak) weak->handleHotkeyCombined();
    };
    hotkeyManager_->onCancelPressed = [weak] {
        if (weak) weak->cancelDictation();
    };
    if (mainWindow_) mainWindow_->setHotkeyManager(hotkeyManager_.get());
}

HotkeyRegistration AppDelegate::hotkeyRegistration() const {
    return hotkeyManager_ ? hotkeyManager_->registration() : HotkeyRegistration::none;
}

void AppDelegate::postReadyNotification() {
    const std::string hotkey = primaryHotkey();
    setupFloatingControlWindow();
    updateStatusTitle("Bereit");
    postUserNotification("Parloquin bereit!",
                         StatusMenuTexts::readyNotificationBody(hotkey, hotkeyRegistration(),
                                                                ModelStorageSize::measure(ModelFolder::path())));
}

void AppDelegate::postUserNotification(const std::string& title, const std::string& body) {
    if (!environment_.notifications) return;
    platform::UNNotificationRequest request;
    request.identifier = platform::UUID().uuidString();
    request.content = {title, body, true};
    environment_.notifications->add(request);
}

void AppDelegate::showFirstLaunchExplanationIfNeeded() {
    if (defaults().boolForKey(settings::kHasShownFirstLaunchExplanation)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!environment_.alerts) return;
            Alert alert;
            alert.style = AlertStyle::informational;
            alert.messageText = "Willkommen bei Parloquin!";
            alert.informativeText = kWelcomeText;
            alert.buttons = {"Loslegen", "Einstellungen öffnen"};
            QPointer<AppDelegate> alive(this);
            const int response = environment_.alerts->runModal(alert);
            if (!alive) return;
            defaults().setBool(settings::kHasShownFirstLaunchExplanation, true);
            if (response == alertFirstButtonReturn + 1) openMainWindow(SidebarSection::general);
        },
        Qt::QueuedConnection);
}

// MARK: status item

// A tray shows no title beside the icon, and the tooltip is the only text assistive technology
// reads from it: the title, then what the picture shows.
QString AppDelegate::statusToolTip(StatusImage image, const std::string& activity) {
    QString description = StatusIcons::accessibilityDescription(image);
    if (!activity.empty()) description = QString::fromStdString(activity);
    const QString title = QStringLiteral(" Parloquin");
    return description.isEmpty() ? title : title + QLatin1Char('\n') + description;
}

void AppDelegate::showModelProgress() {
    if (!transcriptionService_) return;
    const auto& progress = transcriptionService_->modelProgress();
    if (!progress) {
        // The setup ended: the models' load ends the launch and sets the status line.
        if (statusItem_) statusItem_->setToolTip(statusToolTip(statusImage_));
        return;
    }
    const std::string line = ModelProgressTexts::statusLine(*progress);
    updateStatusTitle(line);
    if (statusItem_) statusItem_->setToolTip(statusToolTip(statusImage_, line));
    updateMenuItemTitles();
}

std::string AppDelegate::notReadyText() const {
    const auto* progress = transcriptionService_ ? &transcriptionService_->modelProgress() : nullptr;
    if (progress && *progress) return ModelProgressTexts::statusLine(**progress) + " …";
    return "Sprachmodelle werden geladen …";
}

void AppDelegate::answerNotReady() {
    if (launchFailed_) {
        postUserNotification("Parloquin konnte nicht gestartet werden",
                             "Ohne Sprachmodelle ist keine Aufnahme möglich. Wähle „Erneut versuchen“ im Menü von "
                             "Parloquin.");
        return;
    }
    postUserNotification("Parloquin ist noch nicht bereit",
                         notReadyText() + "\nAufnahmen sind möglich, sobald die Sprachmodelle bereit sind.");
}

void AppDelegate::setupStatusItem() {
    statusItem_ = new QSystemTrayIcon(StatusIcons::icon(StatusImage::menuBarIcon), this);
    statusItem_->setToolTip(statusToolTip(StatusImage::menuBarIcon));

    menu_ = new QMenu;
    QAction* status = menu_->addAction(menuTitle(StatusMenuTexts::statusLine("Bereit")));
    status->setEnabled(false);
    menu_->addSeparator();
    dictationMenuItem_ = menu_->addAction(menuTitle(StatusMenuTexts::dictationItemTitle(primaryHotkey())));
    connect(dictationMenuItem_, &QAction::triggered, this, [this] { toggleDictation(); });
    updateMenuItemTitles();
    // Offered after a failed start, right below the status line.
    retryMenuItem_ = new QAction(QStringLiteral("Erneut versuchen"), menu_);
    connect(retryMenuItem_, &QAction::triggered, this, [this] { retrySetup(); });
    QAction* recent = menu_->addAction(QString::fromUtf8(kRecentTranscriptionsTitle));
    recent->setMenu(createRecentTranscriptionsMenu());
    connect(menu_->addAction(QStringLiteral("Statistiken...")), &QAction::triggered, this, [this] { openStatistics(); });
    menu_->addSeparator();
    QAction* settings = menu_->addAction(QStringLiteral("Einstellungen..."));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, [this] { openSettings(); });
    connect(menu_->addAction(QString::fromUtf8("Über Parloquin")), &QAction::triggered, this, [this] { showAbout(); });
    menu_->addSeparator();
    QAction* quitItem = menu_->addAction(QStringLiteral("Parloquin beenden"));
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitItem, &QAction::triggered, this, [this] { quit(); });

    // Relative times age: they are worked out afresh each time the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, [this] { updateRecentTranscriptionsMenu(); });

    menuTitleObservation_ = defaults().observe(settings::kPrimaryHotkey, [this](const std::string&) {
        QMetaObject::invokeMethod(this, [this] { updateMenuItemTitles(); }, Qt::QueuedConnection);
    });

    statusItem_->setContextMenu(menu_);
    // A click on the icon opens the menu too, as a click on a menu-bar item does; so does a click
    // that the desktop took for the second half of a double click.
    connect(statusItem_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) && menu_ &&
            !menu_->isVisible())
            menu_->popup(QCursor::pos());
    });
    statusItem_->show();

    showFirstLaunchExplanationIfNeeded();
}

std::string AppDelegate::primaryHotkey() const {
    return defaults().stringForKey(settings::kPrimaryHotkey).value_or(settings::kDefaultPrimaryHotkey);
}

// Until the models are ready the start item is off and says how far their setup has come; after a
// failed start it is off under its usual title.
void AppDelegate::updateMenuItemTitles() {
    if (!dictationMenuItem_) return;
    const bool waiting = !isInitialized_ && !launchFailed_;
    dictationMenuItem_->setText(
        menuTitle(waiting ? notReadyText() : StatusMenuTexts::dictationItemTitle(primaryHotkey())));
    dictationMenuItem_->setEnabled(isInitialized_);
}

void AppDelegate::updateStatusTitle(const std::string& text) {
    if (!menu_ || menu_->actions().isEmpty()) return;
    menu_->actions().first()->setText(menuTitle(StatusMenuTexts::statusLine(text)));
}

void AppDelegate::updateStatus() {
    const std::size_t count = historyManager_ ? historyManager_->records().size() : 0;
    updateStatusTitle(StatusMenuTexts::recordCountStatus(count));
}

void AppDelegate::updateStatusIcon(RecordingState state) {
    switch (state) {
        case RecordingState::idle: statusImage_ = StatusImage::menuBarIcon; break;
        case RecordingState::recording: statusImage_ = StatusImage::recording; break;
        case RecordingState::processing: statusImage_ = StatusImage::processing; break;
    }
    if (statusItem_) {
        statusItem_->setIcon(StatusIcons::icon(statusImage_));
        statusItem_->setToolTip(statusToolTip(statusImage_));
    }
    switch (state) {
        case RecordingState::idle: updateStatus(); break;
        case RecordingState::recording: updateStatusTitle("Aufnahme..."); break;
        case RecordingState::processing: updateStatusTitle("Verarbeitung..."); break;
    }
}

QMenu* AppDelegate::createRecentTranscriptionsMenu() {
    // Owned by the status menu (an action does not own its submenu); still a popup of its own.
    auto* menu = new QMenu(QString::fromUtf8(kRecentTranscriptionsTitle), menu_);
    if (!isInitialized_ && !launchFailed_) {
        menu->addAction(QStringLiteral("Wird geladen..."))->setEnabled(false);
        return menu;
    }
    if (!historyManager_ || historyManager_->records().empty()) {
        menu->addAction(QStringLiteral("Keine aktuellen Transkriptionen"))->setEnabled(false);
        return menu;
    }
    const platform::Date now = environment_.clock ? environment_.clock->now() : platform::Date::now();
    const platform::RelativeDateTimeFormatter relative("de_DE", platform::TimeZone::current());
    const auto& records = historyManager_->records();
    const std::size_t shown = std::min(records.size(), StatusMenuTexts::recentTranscriptionCount);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& record = records[i];
        const std::string title =
            StatusMenuTexts::recentTranscriptionTitle(relative.localizedString(record.timestamp, now), record.text);
        QAction* item = menu->addAction(menuTitle(title));
        item->setData(QString::fromStdString(record.id.uuidString()));
        connect(item, &QAction::triggered, this, [this, item] { copyTranscription(item); });
    }
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Gesamten Verlauf anzeigen...")), &QAction::triggered, this,
            [this] { openHistory(); });
    return menu;
}

void AppDelegate::updateRecentTranscriptionsMenu() {
    if (!menu_) return;
    for (QAction* item : menu_->actions()) {
        if (item->text() != QString::fromUtf8(kRecentTranscriptionsTitle)) continue;
        QMenu* old = item->menu();
        item->setMenu(createRecentTranscriptionsMenu());
        if (old) old->deleteLater();
        return;
    }
}

// MARK: menu actions

void AppDelegate::copyTranscription(const QAction* sender) {
    if (!sender || !historyManager_ || sender->data().typeId() != QMetaType::QString) return;
    const auto id = platform::UUID::fromString(sender->data().toString().toStdString());
    if (!id) return;
    const auto record = historyManager_->findRecord(*id);
    if (!record) return;
    bool copied = false;
    if (environment_.pasteboard) {
        environment_.pasteboard->clearContents();
        copied = environment_.pasteboard->setString(record->text);
    }
    if (!copied) {
        postUserNotification("Text nicht kopiert", "Die Zwischenablage hat den Text nicht angenommen.");
        return;
    }
    postUserNotification("In Zwischenablage kopiert", StatusMenuTexts::copiedNotificationBody(record->text));
}

void AppDelegate::openSettings() { openMainWindow(SidebarSection::general); }
void AppDelegate::openStatistics() { openMainWindow(SidebarSection::statistics); }
void AppDelegate::openHistory() { openMainWindow(SidebarSection::history); }

void AppDelegate::openMainWindow(SidebarSection section) {
    if (mainWindow_) {
        emit MainWindowNotifications::defaultCenter()->showMainWindowSection(section);
    } else if (!historyManager_ || !statisticsManager_) {
        // The launch has not made the stores yet.
        QTimer::singleShot(500, this, [this, section] { openMainWindow(section); });
        return;
    } else {
        createMainWindow(section);
    }
    // Listed before it is shown, so that it never flashes out of the task bar.
    if (environment_.application) environment_.application->setActivationPolicy(ActivationPolicy::regular);
    mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
    if (environment_.application) environment_.application->activateIgnoringOtherApps();
}

void AppDelegate::createMainWindow(SidebarSection section) {
    PageContext context;
    context.historyManager = historyManager_;
    context.statisticsManager = statisticsManager_;
    context.transcriptionService = transcriptionService_.get();
    context.hotkeyManager = hotkeyManager_.get();
    context.defaults = environment_.defaults;
    context.alerts = environment_.alerts;
    context.application = environment_.application;
    context.loginItem = environment_.loginItem;
    mainWindow_ = std::make_unique<MainWindowView>(std::move(context), section);
    mainWindow_->setWindowTitle(QStringLiteral("Parloquin"));
    mainWindow_->resize(900, 600);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        mainWindow_->move(screen->availableGeometry().center() - mainWindow_->rect().center());
    connect(mainWindow_.get(), &MainWindowView::windowWillClose, this, [this] { windowWillClose(); });
    mainWindow_->setMinimizesOnClose(defaults().boolForKey(settings::kShowDockIcon) || !hasTray());
}

void AppDelegate::windowWillClose() {
    if (environment_.application) environment_.application->setActivationPolicy(policyWithoutWindow());
}

// A task bar lists windows, not applications: the entry the user asked to keep is the main window,
// minimised while it is not open. It is made once the stores exist (tried again every 0.5 s).
void AppDelegate::showTaskbarEntry() {
    if (!defaults().boolForKey(settings::kShowDockIcon)) return;
    if (!mainWindow_) {
        if (!historyManager_ || !statisticsManager_) {
            QTimer::singleShot(500, this, [this] { showTaskbarEntry(); });
            return;
        }
        createMainWindow(SidebarSection::general);
    }
    if (environment_.application) environment_.application->setActivationPolicy(ActivationPolicy::regular);
    if (!mainWindow_->isVisible()) mainWindow_->showMinimized();
}

// The task bar setting changed (on the general page, by the reset or in the settings file). On,
// the entry appears, and closing the window minimises it from now on. Off, a window that is not
// open (closed or minimised) is hidden, taking its entry with it; an open window stays open.
void AppDelegate::applyTaskbarSetting() {
    const bool keep = defaults().boolForKey(settings::kShowDockIcon);
    if (mainWindow_) mainWindow_->setMinimizesOnClose(keep || !hasTray());
    if (keep) {
        showTaskbarEntry();
        return;
    }
    if (mainWindow_ && mainWindow_->isVisible() && !mainWindow_->isMinimized()) return;
    if (mainWindow_) mainWindow_->hide();
    windowWillClose();
}

// Without a window the application leaves the task bar, unless the user keeps it there.
ActivationPolicy AppDelegate::policyWithoutWindow() const {
    return defaults().boolForKey(settings::kShowDockIcon) || !hasTray() ? ActivationPolicy::regular
                                                                        : ActivationPolicy::accessory;
}

void AppDelegate::showAbout() {
    if (!environment_.alerts) return;
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.messageText = "Parloquin";
    alert.informativeText = "Version " + AppVersion::bundle().text() + kAboutCredits;
    alert.buttons = {"OK"};
    environment_.alerts->runModal(alert);
}

// Ends the process whatever the window policy: a main window that minimises instead of closing
// would refuse the close that QCoreApplication::quit() asks of every window, and the quit with it.
// The stores are written as the application object goes.
void AppDelegate::quit() {
    showFloatingControlObservation_.cancel();
    taskbarObservation_.cancel();
    QCoreApplication::exit(0);
}

// MARK: dictation

void AppDelegate::perform(DictationAction action) {
    if (!transcriptionService_) return;
    switch (action) {
        case DictationAction::none: break;
        case DictationAction::start: transcriptionService_->startRecording(); break;
        case DictationAction::stop: transcriptionService_->stopRecording(); break;
    }
}

void AppDelegate::toggleDictation() {
    if (!transcriptionService_) return;
    if (!isInitialized_) {
        answerNotReady();
        return;
    }
    perform(DictationControl::toggle(transcriptionService_->isRecording()));
}

void AppDelegate::handleHotkeyPressed() {
    if (!transcriptionService_) return;
    if (!isInitialized_) {
        answerNotReady();
        return;
    }
    const DictationAction action =
        DictationControl::press(defaults().stringForKey(settings::kRecordingMode).value_or("auto"),
                                defaults().boolForKey(settings::kPrimaryHotkeyIsSingleKey),
                                transcriptionService_->isRecording());
    perform(action);
    pressStartedRecording_ = action == DictationAction::start && transcriptionService_->isRecording();
    playFeedback(action);
}

void AppDelegate::handleHotkeyReleased() {
    if (!transcriptionService_ || !isInitialized_) return;
    pressStartedRecording_ = false;
    const DictationAction action =
        DictationControl::release(defaults().stringForKey(settings::kRecordingMode).value_or("auto"),
                                  defaults().boolForKey(settings::kPrimaryHotkeyIsSingleKey),
                                  transcriptionService_->isRecording());
    perform(action);
    playFeedback(action);
}

void AppDelegate::handleCommand(DictationCommand command) {
    if (!transcriptionService_) return;
    // A stop has nothing to stop before the models are ready; a start is answered.
    if (!isInitialized_) {
        if (command != DictationCommand::stop) answerNotReady();
        return;
    }
    const DictationAction action = DictationControl::command(command, transcriptionService_->isRecording());
    perform(action);
    playFeedback(action);
}

// The lone modifier was the start of a key combination (Alt+Delete, say): the recording its press
// started is dropped. A recording that ran before the press goes on.
void AppDelegate::handleHotkeyCombined() {
    if (!pressStartedRecording_) return;
    pressStartedRecording_ = false;
    cancelDictation();
}

void AppDelegate::cancelDictation() {
    if (transcriptionService_ && transcriptionService_->isRecording()) transcriptionService_->cancelRecording();
}

void AppDelegate::playFeedback(DictationAction action) {
    if (!environment_.playSound || !transcriptionService_ || !defaults().boolForKey(settings::kHotkeyFeedback)) return;
    if (action == DictationAction::start && transcriptionService_->isRecording())
        environment_.playSound(kStartSound);
    else if (action == DictationAction::stop)
        environment_.playSound(kStopSound);
}

void AppDelegate::handleStateChange(RecordingState state) {
    QMetaObject::invokeMethod(
        this,
        [this, state] {
            // The cancel key is taken from the desktop only while there is a recording to cancel.
            if (hotkeyManager_) {
                if (state == RecordingState::recording)
                    hotkeyManager_->activateCancelKey();
                else
                    hotkeyManager_->deactivateCancelKey();
            }
            updateStatusIcon(state);
            if (state != RecordingState::idle) return;
            updateRecentTranscriptionsMenu();
            updateStatus();
        },
        Qt::QueuedConnection);
}

// MARK: floating button

void AppDelegate::setupFloatingControlWindow() {
    if (!transcriptionService_) return;
    QPointer<AppDelegate> weak(this);
    floatingControlWindow_ = std::make_unique<FloatingDictationControlWindow>([weak] {
        if (weak) weak->toggleDictation();
    });
    // A right click offers the tray menu's entries: on a desktop without a tray the only way to them.
    FloatingDictationControlView* view = floatingControlWindow_->view();
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
        if (menu_) menu_->popup(view->mapToGlobal(at));
    });
    connect(transcriptionService_.get(), &TranscriptionService::isRecordingChanged, this,
            [this] { updateFloatingControlState(); });
    connect(transcriptionService_.get(), &TranscriptionService::isProcessingChanged, this,
            [this] { updateFloatingControlState(); });
    updateFloatingControlState();
    updateFloatingControlVisibility();
    // Only this setting moves the button: other settings change with every dictation.
    showFloatingControlObservation_ =
        defaults().observe(settings::kShowFloatingDictationControl, [this](const std::string&) {
            QMetaObject::invokeMethod(
                this, [this] { updateFloatingControlVisibility(); }, Qt::QueuedConnection);
        });
}

void AppDelegate::updateFloatingControlState() {
    if (!floatingControlWindow_ || !transcriptionService_) return;
    floatingControlWindow_->view()->setServiceState(transcriptionService_->isRecording(),
                                                     transcriptionService_->isProcessing());
}

void AppDelegate::updateFloatingControlVisibility() {
    if (!floatingControlWindow_) return;
    const auto value = defaults().object(settings::kShowFloatingDictationControl);
    if (value && std::holds_alternative<bool>(*value) && !std::get<bool>(*value)) {
        floatingControlWindow_->orderOut();
        return;
    }
    floatingControlWindow_->placeAtHome();
    floatingControlWindow_->orderFront();
}

}  // namespace parloquin
