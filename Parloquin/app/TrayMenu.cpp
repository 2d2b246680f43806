#include "Parloquin/app/TrayMenu.h"

#include <QCursor>
#include <QKeySequence>
#include <algorithm>

#include "Parloquin/app/AppEnvironment.h"
#include "Parloquin/app/DictationKeys.h"
#include "Parloquin/app/LaunchNotices.h"
#include "Parloquin/app/StatusMenuTexts.h"
#include "Parloquin/services/AppVersion.h"
#include "Parloquin/services/HistoryManager.h"
#include "Parloquin/services/TranscriptionService.h"
#include "Parloquin/settings/SettingsKeys.h"
#include "Parloquin/views/ModelProgressTexts.h"
#include "Platform/system/RelativeDateTimeFormatter.h"
#include "Platform/system/TimeZone.h"
#include "Platform/system/UUID.h"

namespace parloquin {
namespace {

constexpr const char* kRecentTranscriptionsTitle = "Letzte Transkriptionen";

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

void call(const std::function<void()>& action) {
    if (action) action();
}

}  // namespace

TrayMenu::TrayMenu(const AppEnvironment& environment, const LaunchNotices& notices, Actions actions, QObject* parent)
    : QObject(parent),
      defaults_(*environment.defaults),
      clock_(environment.clock),
      pasteboard_(environment.pasteboard),
      alerts_(environment.alerts),
      notices_(notices),
      actions_(std::move(actions)) {}

TrayMenu::~TrayMenu() {
    hotkeyObservation_.cancel();
    delete menu_.data();
}

void TrayMenu::setService(const TranscriptionService* service, HistoryManager* history) {
    service_ = service;
    history_ = history;
}

void TrayMenu::setup() {
    statusItem_ = new QSystemTrayIcon(StatusIcons::icon(StatusImage::menuBarIcon), this);
    statusItem_->setToolTip(statusToolTip(StatusImage::menuBarIcon));

    menu_ = new QMenu;
    QAction* status = menu_->addAction(menuTitle(StatusMenuTexts::statusLine("Bereit")));
    status->setEnabled(false);
    menu_->addSeparator();
    dictationItem_ =
        menu_->addAction(menuTitle(StatusMenuTexts::dictationItemTitle(DictationKeys::primaryHotkey(defaults_))));
    connect(dictationItem_, &QAction::triggered, this, [this] { call(actions_.toggleDictation); });
    updateMenuItemTitles();
    // Offered after a failed start, right below the status line.
    retryItem_ = new QAction(QStringLiteral("Erneut versuchen"), menu_);
    connect(retryItem_, &QAction::triggered, this, [this] { call(actions_.retrySetup); });
    QAction* recent = menu_->addAction(QString::fromUtf8(kRecentTranscriptionsTitle));
    recent->setMenu(createRecentTranscriptionsMenu());
    connect(menu_->addAction(QStringLiteral("Statistiken...")), &QAction::triggered, this,
            [this] { call(actions_.openStatistics); });
    menu_->addSeparator();
    QAction* settingsItem = menu_->addAction(QStringLiteral("Einstellungen..."));
    settingsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settingsItem, &QAction::triggered, this, [this] { call(actions_.openSettings); });
    connect(menu_->addAction(QString::fromUtf8("Über Parloquin")), &QAction::triggered, this, [this] { showAbout(); });
    menu_->addSeparator();
    QAction* quitItem = menu_->addAction(QStringLiteral("Parloquin beenden"));
    quitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quitItem, &QAction::triggered, this, [this] { call(actions_.quit); });

    // Relative times age: they are worked out afresh each time the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, [this] { updateRecentTranscriptionsMenu(); });

    hotkeyObservation_ = defaults_.observe(settings::kPrimaryHotkey, [this](const std::string&) {
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
}

// Ready: "Bereit" and the start item on. Failed: the start item off under its usual title, the
// submenu stops waiting, and the setup can be tried again in place. Loading again (a retry): the
// menu waits for the models as at the launch.
void TrayMenu::setStage(LaunchStage stage) {
    stage_ = stage;
    switch (stage) {
        case LaunchStage::ready: updateStatusTitle("Bereit"); break;
        case LaunchStage::failed: updateStatusTitle("Initialisierung fehlgeschlagen"); break;
        case LaunchStage::loading:
            if (menu_ && retryItem_) menu_->removeAction(retryItem_);
            updateStatusTitle("Wird geladen...");
            break;
    }
    updateMenuItemTitles();
    updateRecentTranscriptionsMenu();
    if (stage == LaunchStage::failed && menu_ && retryItem_ && !menu_->actions().contains(retryItem_.data()))
        menu_->insertAction(menu_->actions().value(1), retryItem_);
}

// A tray shows no title beside the icon, and the tooltip is the only text assistive technology
// reads from it: the title, then what the picture shows.
QString TrayMenu::statusToolTip(StatusImage image, const std::string& activity) {
    QString description = StatusIcons::accessibilityDescription(image);
    if (!activity.empty()) description = QString::fromStdString(activity);
    const QString title = QStringLiteral(" Parloquin");
    return description.isEmpty() ? title : title + QLatin1Char('\n') + description;
}

void TrayMenu::showModelProgress() {
    if (!service_) return;
    const auto& progress = service_->modelProgress();
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

// Until the models are ready the start item is off and says how far their setup has come; after a
// failed start it is off under its usual title.
void TrayMenu::updateMenuItemTitles() {
    if (!dictationItem_) return;
    dictationItem_->setText(menuTitle(waiting() ? LaunchNotices::notReadyText(service_)
                                                : StatusMenuTexts::dictationItemTitle(
                                                      DictationKeys::primaryHotkey(defaults_))));
    dictationItem_->setEnabled(stage_ == LaunchStage::ready);
}

void TrayMenu::updateStatusTitle(const std::string& text) {
    if (!menu_ || menu_->actions().isEmpty()) return;
    menu_->actions().first()->setText(menuTitle(StatusMenuTexts::statusLine(text)));
}

void TrayMenu::updateStatus() {
    const std::size_t count = history_ ? history_->records().size() : 0;
    updateStatusTitle(StatusMenuTexts::recordCountStatus(count));
}

void TrayMenu::updateStatusIcon(RecordingState state) {
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

QMenu* TrayMenu::createRecentTranscriptionsMenu() {
    // Owned by the status menu (an action does not own its submenu); still a popup of its own.
    auto* menu = new QMenu(QString::fromUtf8(kRecentTranscriptionsTitle), menu_);
    if (waiting()) {
        menu->addAction(QStringLiteral("Wird geladen..."))->setEnabled(false);
        return menu;
    }
    if (!history_ || history_->records().empty()) {
        menu->addAction(QStringLiteral("Keine aktuellen Transkriptionen"))->setEnabled(false);
        return menu;
    }
    const platform::Date now = clock_ ? clock_->now() : platform::Date::now();
    const platform::RelativeDateTimeFormatter relative("de_DE", platform::TimeZone::current());
    const auto& records = history_->records();
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
            [this] { call(actions_.openHistory); });
    return menu;
}

void TrayMenu::updateRecentTranscriptionsMenu() {
    if (!menu_) return;
    for (QAction* item : menu_->actions()) {
        if (item->text() != QString::fromUtf8(kRecentTranscriptionsTitle)) continue;
        QMenu* old = item->menu();
        item->setMenu(createRecentTranscriptionsMenu());
        if (old) old->deleteLater();
        return;
    }
}

void TrayMenu::copyTranscription(const QAction* sender) {
    if (!sender || !history_ || sender->data().typeId() != QMetaType::QString) return;
    const auto id = platform::UUID::fromString(sender->data().toString().toStdString());
    if (!id) return;
    const auto record = history_->findRecord(*id);
    if (!record) return;
    bool copied = false;
    if (pasteboard_) {
        pasteboard_->clearContents();
        copied = pasteboard_->setString(record->text);
    }
    if (!copied) {
        notices_.post("Text nicht kopiert", "Die Zwischenablage hat den Text nicht angenommen.");
        return;
    }
    notices_.post("In Zwischenablage kopiert", StatusMenuTexts::copiedNotificationBody(record->text));
}

void TrayMenu::showAbout() {
    if (!alerts_) return;
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.messageText = "Parloquin";
    alert.informativeText = "Version " + AppVersion::bundle().text() + kAboutCredits;
    alert.buttons = {"OK"};
    alerts_->runModal(alert);
}

}  // namespace parloquin
