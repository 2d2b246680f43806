#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>

#include "Platform/system/UserDefaults.h"

namespace platform {

// Watches the file of a user-defaults store while the application runs: when someone else
// changes it (another program, the user with an editor), the store reads it again and every
// observer of a changed key hears of it. Changes that come in quick succession are taken in once,
// a moment after the first of them. A file that cannot be used is set aside by the store
// and reported to `onProblem`. Main thread.
class UserDefaultsFileWatcher : public QObject {
public:
    using ProblemHandler = std::function<void(const UserDefaults::LoadProblem&)>;

    explicit UserDefaultsFileWatcher(UserDefaults& defaults, ProblemHandler onProblem = {},
                                     QObject* parent = nullptr);

private:
    // The file and its folder, as far as they exist (an editor may replace the file), and the
    // folder above while the store's folder is missing: it may only appear with the first save.
    void watchExistingPaths();
    void synchronize();

    UserDefaults& defaults_;
    ProblemHandler onProblem_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
};

}  // namespace platform
