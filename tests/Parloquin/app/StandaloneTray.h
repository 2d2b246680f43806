#pragma once

#include <QProcess>
#include <QStringList>

namespace parloquin_test {

// A system tray of its own on the test X server (Debian's trayer), which Qt's tray icons dock into.
// It ends with this object.
class StandaloneTray {
public:
    StandaloneTray();
    ~StandaloneTray();
    StandaloneTray(const StandaloneTray&) = delete;
    StandaloneTray& operator=(const StandaloneTray&) = delete;

    // The tray owns the system-tray selection of the screen.
    bool isRunning() const;
    // The tray holds the given window somewhere inside it: it is docked.
    bool holds(unsigned long window) const;
    // The class names (WM_CLASS) of the windows docked in the tray.
    QStringList dockedClasses() const;

private:
    unsigned long selectionOwner() const;

    QProcess process_;
};

}  // namespace parloquin_test
