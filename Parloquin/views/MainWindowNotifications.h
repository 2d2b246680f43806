#pragma once

#include <QObject>

#include "Parloquin/views/SidebarSection.h"

namespace parloquin {

// The one place where the shell asks the main window for a page: whoever shows the window sends
// "showMainWindowSection" with the section, and the window switches to it. Main thread.
class MainWindowNotifications : public QObject {
    Q_OBJECT
public:
    static MainWindowNotifications* defaultCenter();

signals:
    void showMainWindowSection(parloquin::SidebarSection section);

private:
    MainWindowNotifications() = default;
};

}  // namespace parloquin
