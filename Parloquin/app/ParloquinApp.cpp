#include "Parloquin/app/ParloquinApp.h"

#include <QApplication>
#include <QTimer>

#include "Parloquin/app/QtTranslations.h"
#include "Parloquin/app/StatusIcons.h"

namespace parloquin {

ParloquinApp::ParloquinApp(AppEnvironment environment) {
    QApplication::setApplicationName(QStringLiteral("Parloquin"));
    QApplication::setApplicationDisplayName(QStringLiteral("Parloquin"));
    QApplication::setDesktopFileName(QStringLiteral("parloquin"));
    QApplication::setWindowIcon(StatusIcons::applicationIcon());
    QApplication::setQuitOnLastWindowClosed(false);
    qtTranslations_ = QtTranslations::install();
    appDelegate_ = std::make_unique<AppDelegate>(std::move(environment));
}

void ParloquinApp::reopen() { appDelegate_->openMainWindow(SidebarSection::general); }

void ParloquinApp::perform(const QString& command) {
    if (command == QLatin1String("toggle")) appDelegate_->handleCommand(DictationCommand::toggle);
    if (command == QLatin1String("start")) appDelegate_->handleCommand(DictationCommand::start);
    if (command == QLatin1String("stop")) appDelegate_->handleCommand(DictationCommand::stop);
}

void ParloquinApp::launch() {
    QTimer::singleShot(0, appDelegate_.get(), [delegate = appDelegate_.get()] { delegate->applicationDidFinishLaunching(); });
}

}  // namespace parloquin
