#include <QApplication>
#include <QDBusConnection>
#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
    // An offline import of the speech models needs no desktop.
    if (const auto status = parloquin::ModelImportCommand::run(std::vector<std::string>(argv, argv + argc))) {
        return *status;
    }
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
    platform::SingleInstance instance(QDBusConnection::sessionBus(), QStringLiteral("com.parloquin.Parloquin"));
    switch (instance.claim([&running] {
        if (running) running->reopen();
    })) {
        case platform::SingleInstance::Claim::owned:
            break;
        case platform::SingleInstance::Claim::handedOver:
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
