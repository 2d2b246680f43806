#pragma once

#include <QObject>

class QWindow;

namespace platform {

// The activation policy of an application on an X11 desktop, where no dock shows the application
// itself: a regular application has its normal windows listed in the task bar and the window
// switcher; an accessory one has them left out (the skip-taskbar and skip-pager states). Windows
// shown later follow the current choice. Alerts and other dialogs stay where the window manager
// puts them, so that a question is never lost behind other windows. Main thread only; off X11 it
// only remembers.
class TaskbarListing : public QObject {
public:
    // The application's one listing, watching its windows from the first call on. It belongs to
    // the application object; after that is gone, the next call makes a new listing.
    static TaskbarListing& shared();

    bool isListed() const { return listed_; }
    void setListed(bool listed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TaskbarListing();
    // Normal windows: menus, tooltips, tool windows and dialogs keep their own hints.
    static bool isListable(const QWindow* window);
    void apply(QWindow* window) const;

    bool listed_ = true;
};

}  // namespace platform
