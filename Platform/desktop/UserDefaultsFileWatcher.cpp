#include "Platform/desktop/UserDefaultsFileWatcher.h"

#include <QFileInfo>

namespace platform {
namespace {

constexpr int kSettleMilliseconds = 100;

}  // namespace

UserDefaultsFileWatcher::UserDefaultsFileWatcher(UserDefaults& defaults, ProblemHandler onProblem, QObject* parent)
    : QObject(parent), defaults_(defaults), onProblem_(std::move(onProblem)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, [this] { synchronize(); });
    // The first change starts the wait and later ones join it; restarting the wait on every
    // change would let a busy folder put the reading off for ever.
    auto changed = [this](const QString&) {
        watchExistingPaths();
        if (!settle_.isActive()) settle_.start();
    };
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, changed);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, changed);
    watchExistingPaths();
}

void UserDefaultsFileWatcher::watchExistingPaths() {
    const std::filesystem::path& file = defaults_.storePath();
    const QString folder = QString::fromStdString(file.parent_path().string());
    const QString above = QString::fromStdString(file.parent_path().parent_path().string());
    // The folder above matters only until the store's folder appears; after that its other
    // entries' changes are none of ours.
    const bool folderExists = !folder.isEmpty() && QFileInfo::exists(folder);
    if (folderExists && watcher_.directories().contains(above)) watcher_.removePath(above);
    for (const auto& path : {file, file.parent_path(), file.parent_path().parent_path()}) {
        const QString name = QString::fromStdString(path.string());
        if (name.isEmpty() || !QFileInfo::exists(name)) continue;
        if (name == above && folderExists) continue;
        if (!watcher_.files().contains(name) && !watcher_.directories().contains(name)) watcher_.addPath(name);
    }
}

void UserDefaultsFileWatcher::synchronize() {
    const auto problem = defaults_.synchronize();
    if (problem && onProblem_) onProblem_(*problem);
}

}  // namespace platform
