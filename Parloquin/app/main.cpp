#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Parloquin/app/CommandLine.h"
#include "Parloquin/app/ModelImportCommand.h"
#include "Parloquin/app/ParloquinApp.h"
#include "Platform/desktop/QtPlatformChoice.h"
#include "Platform/desktop/SingleInstance.h"
#include "Platform/desktop/X11DisplayCheck.h"
#include "Platform/log/Logger.h"
#include "Platform/log/StandardErrorLogSink.h"

namespace {

// Parloquin needs X11 (tray, hotkeys, paste). Without a display Qt's X11 platform would stop the
// program with an abort; it is told in one line instead. A platform the user chose is left to Qt.
bool usesX11() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform == nullptr || *platform == '\0' || std::string_view(platform).starts_with("xcb");
}

const QString kApplicationId = QStringLiteral("com.parloquin.Parloquin");

void writeOut(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// A command for the running Parloquin, sent without becoming one: quick, for a key binding, and
// without a display. Nothing when Parloquin is to start instead.
std::optional<int> sendToRunning(int& argc, char** argv, const QString& action, bool startsWhenNotRunning) {
    const QString connectionName = QStringLiteral("parloquin-command");
    std::optional<int> status;
    {
        QCoreApplication core(argc, argv);
        platform::SingleInstance instance(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName),
                                          kApplicationId);
        switch (instance.request(action)) {
            case platform::SingleInstance::Request::done: status = 0; break;
            case platform::SingleInstance::Request::notRunning:
                if (!startsWhenNotRunning) {
                    platform::StandardErrorLogSink::writeLine("Parloquin is not running: there is no recording to stop.");
                    status = 0;
                }
                break;
            case platform::SingleInstance::Request::refused:
                platform::StandardErrorLogSink::writeLine(
                    "Parloquin is running but does not answer; end it before starting Parloquin again.");
                status = 1;
                break;
            case platform::SingleInstance::Request::noBus:
                platform::StandardErrorLogSink::writeLine("No session bus: the running Parloquin cannot be reached.");
                status = 1;
                break;
        }
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    using Action = parloquin::CommandLine::Action;
    const parloquin::CommandLine command = parloquin::CommandLine::parse(arguments);
    switch (command.action) {
        case Action::help: writeOut(parloquin::CommandLine::helpText()); return 0;
        case Action::version: writeOut(parloquin::CommandLine::versionText()); return 0;
        case Action::misused:
            platform::StandardErrorLogSink::writeLine(command.error.toStdString());
            return parloquin::CommandLine::misuseStatus;
        // An offline import of the speech models needs no desktop.
        case Action::importModel: return parloquin::ModelImportCommand::importFile(command.importFile.toStdString());
        case Action::toggle:
        case Action::start:
        case Action::stop:
            if (const auto status = sendToRunning(argc, argv, parloquin::CommandLine::remoteAction(command.action),
                                                  command.action != Action::stop)) {
                // The bus's own thread may still be reading a late message as static objects are
                // destroyed, and Qt would then write warnings after our answer: a command run ends
                // at once, its output written.
                std::fflush(stdout);
                std::fflush(stderr);
                std::_Exit(*status);
            }
            break;
        case Action::run: break;
    }
    const QString action = parloquin::CommandLine::remoteAction(command.action);

    if (const auto platform = platform::QtPlatformChoice::preferred()) setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
    if (usesX11()) {
        if (const auto problem = platform::X11DisplayCheck::problem("Parloquin")) {
            platform::StandardErrorLogSink::writeLine(*problem);
            return 1;
        }
    }
    QApplication application(argc, argv);
    // QApplication takes the user's locale for everything; numbers in files and library texts are
    // written in the C locale.
    std::setlocale(LC_NUMERIC, "C");

    // One Parloquin per session: two would both take the hotkey and each rewrite the settings from
    // its own memory. A second start shows the running one and ends before it touches anything.
    parloquin::ParloquinApp* running = nullptr;
    platform::SingleInstance instance(QDBusConnection::sessionBus(), kApplicationId);
    const QStringList actions = {parloquin::CommandLine::remoteAction(Action::toggle),
                                 parloquin::CommandLine::remoteAction(Action::start),
                                 parloquin::CommandLine::remoteAction(Action::stop)};
    switch (instance.claim(
        [&running] {
            if (running) running->reopen();
        },
        actions,
        [&running](const QString& name) {
            if (running) running->perform(name);
        },
        action)) {
        case platform::SingleInstance::Claim::owned:
            break;
        case platform::SingleInstance::Claim::handedOver:
            // A command's start found another copy that began meanwhile: it got the command.
            if (action.isEmpty())
                platform::StandardErrorLogSink::writeLine("Parloquin is already running; it was asked to open its window.");
            return 0;
        case platform::SingleInstance::Claim::ownerSilent:
            platform::StandardErrorLogSink::writeLine(
                "Parloquin is already running but does not answer; end it before starting Parloquin again.");
            return 1;
        case platform::SingleInstance::Claim::noBus:
            platform::Logger("com.parloquin", "ParloquinApp")
                .log(platform::OSLogType::error, "No session bus: a second start of Parloquin cannot be told apart");
            break;
    }

    parloquin::ParloquinApp parloquin;
    running = &parloquin;
    parloquin.launch();
    return application.exec();
}
