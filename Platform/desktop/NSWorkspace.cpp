#include "Platform/desktop/NSWorkspace.h"

#include <unistd.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace platform {

struct NSWorkspace::Program {
    std::string path;
    QStringList arguments;
};

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
const QString kFileManagerPath = QStringLiteral("/org/freedesktop/FileManager1");

struct SoundSettingsCandidate {
    const char* program;
    const char* argument;  // none when null
};

// The desktops' own settings first, on their sound page; then the stand-alone mixers that any
// desktop may have installed.
constexpr SoundSettingsCandidate kSoundSettings[] = {
    {"gnome-control-center", "sound"},
    {"budgie-control-center", "sound"},
    {"cinnamon-settings", "sound"},
    {"systemsettings", "kcm_pulseaudio"},
    {"kcmshell6", "kcm_pulseaudio"},
    {"kcmshell5", "kcm_pulseaudio"},
    {"mate-volume-control", nullptr},
    {"pavucontrol-qt", nullptr},
    {"pavucontrol", nullptr},
};

std::optional<std::string> findProgram(const std::string& searchPath, const std::string& name) {
    std::istringstream folders(searchPath);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;  // the current folder is never searched
        const std::filesystem::path candidate = std::filesystem::path(folder) / name;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return std::nullopt;
}

QString fileURL(const std::filesystem::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.lexically_normal().string())).toString(QUrl::FullyEncoded);
}

}  // namespace

NSWorkspace::NSWorkspace(QDBusConnection bus, std::string searchPath)
    : bus_(std::move(bus)), searchPath_(std::move(searchPath)) {}

std::shared_ptr<NSWorkspace> NSWorkspace::shared() {
    const char* path = std::getenv("PATH");
    static auto workspace = std::make_shared<NSWorkspace>(QDBusConnection::sessionBus(), path ? path : "");
    return workspace;
}

bool NSWorkspace::openURL(const std::string& address) {
    const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return false;
    return QDesktopServices::openUrl(url);
}

bool NSWorkspace::fileManagerOnBus() const {
    if (!bus_.isConnected()) return false;
    QDBusConnectionInterface* daemon = bus_.interface();
    if (!daemon) return false;
    if (daemon->isServiceRegistered(kFileManagerService).value()) return true;
    // A file manager is usually started by the bus when it is first asked.
    const QDBusReply<QStringList> activatable = bus_.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames")));
    return activatable.isValid() && activatable.value().contains(kFileManagerService);
}

bool NSWorkspace::selectFile(const std::optional<std::filesystem::path>& file,
                             const std::filesystem::path& rootFolder, Completion completion) {
    const QString folder = QString::fromStdString(rootFolder.lexically_normal().string());
    if (!fileManagerOnBus()) return openFolderWithDesktop(folder, std::move(completion));

    QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService, kFileManagerPath, kFileManagerService,
                                                       file ? QStringLiteral("ShowItems") : QStringLiteral("ShowFolders"));
    call << QStringList{fileURL(file ? *file : rootFolder)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [this, watcher, folder, completion = std::move(completion)] {
                         if (watcher->isError()) {
                             openFolderWithDesktop(folder, completion);
                         } else if (completion) {
                             completion(true);
                         }
                         watcher->deleteLater();
                     });
    return true;
}

bool NSWorkspace::openFolderWithDesktop(const QString& folder, Completion completion) const {
    const auto opener = findProgram(searchPath_, "xdg-open");
    if (!opener) {
        if (completion) QTimer::singleShot(0, [completion] { completion(false); });
        return false;
    }
    auto* process = new QProcess;
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // xdg-open ends with a failure when the desktop has no program for folders.
    QObject::connect(process, &QProcess::finished, process, [process, completion](int code, QProcess::ExitStatus status) {
        if (completion) completion(status == QProcess::NormalExit && code == 0);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, completion](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        if (completion) completion(false);
        process->deleteLater();
    });
    process->start(QString::fromStdString(*opener), {folder});
    return true;
}

std::optional<NSWorkspace::Program> NSWorkspace::soundSettingsProgram() const {
    for (const SoundSettingsCandidate& candidate : kSoundSettings) {
        if (auto path = findProgram(searchPath_, candidate.program)) {
            Program program{*path, {}};
            if (candidate.argument) program.arguments << QString::fromLatin1(candidate.argument);
            return program;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NSWorkspace::soundSettingsCommand() const {
    const auto program = soundSettingsProgram();
    if (!program) return std::nullopt;
    std::string command = program->path;
    for (const QString& argument : program->arguments) command += " " + argument.toStdString();
    return command;
}

bool NSWorkspace::openSoundSettings() {
    const auto program = soundSettingsProgram();
    return program && QProcess::startDetached(QString::fromStdString(program->path), program->arguments);
}

}  // namespace platform
